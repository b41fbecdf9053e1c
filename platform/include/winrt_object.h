// Stand-in for the SDK header that declares IInspectable, the base of Windows
// Runtime interfaces (reached through roapi.h and activation.h).
#pragma once

#include <unknwn.h>
#include <hstring.h>

typedef enum TrustLevel { BaseTrust = 0, PartialTrust = 1, FullTrust = 2 } TrustLevel;

struct IInspectable : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetIids(ULONG* iidCount, IID** iids) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* className) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* trustLevel) = 0;

protected:
    ~IInspectable() = default;
};
__CRT_UUID_DECL(IInspectable, 0xAF86E2E0, 0xB12D, 0x4C6A, 0x9C, 0x5A, 0xD7, 0xAA, 0x65, 0x10, 0x1E, 0x90)
