// Stand-in for activation.h: the activation factory of a Windows Runtime class.
#pragma once

#include <winrt_object.h>

struct IActivationFactory : IInspectable {
    virtual HRESULT STDMETHODCALLTYPE ActivateInstance(IInspectable** instance) = 0;

protected:
    ~IActivationFactory() = default;
};
__CRT_UUID_DECL(IActivationFactory, 0x00000035, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46)
