// The registrar interface the server module sees when it adds its common
// replacements: IUnknown, then the two replacement operations, in this order.
#pragma once

#include <unknwn.h>
#include <windows.h>

struct IRegistrarBase : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE AddScriptReplacement(LPCOLESTR name, LPCOLESTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE ClearScriptReplacements() = 0;

protected:
    ~IRegistrarBase() = default;
};
