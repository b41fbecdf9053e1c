// The registrar of one registry update: holds the replacements a script may
// refer to as %NAME%, guarded by its own lock. It is a local object, not a
// reference-counted one: AddRef and Release only answer, QueryInterface refuses.
#pragma once

#include <windows.h>

#include "registrar/registrar_base.h"
#include "registrar/replacement_map.h"

class CRegObject : public IRegistrarBase {
public:
    CRegObject() noexcept = default;
    CRegObject(const CRegObject&) = delete;
    CRegObject& operator=(const CRegObject&) = delete;
    virtual ~CRegObject();

    // Initialises the lock; must succeed before any other operation.
    HRESULT Initialize() noexcept;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID, void**) override { return E_NOTIMPL; }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 0; }
    HRESULT STDMETHODCALLTYPE AddScriptReplacement(LPCOLESTR name, LPCOLESTR value) override;
    HRESULT STDMETHODCALLTYPE ClearScriptReplacements() override;

    // The value of the first replacement named so (ignoring case), or null.
    LPCWSTR LookupReplacement(LPCWSTR name) noexcept;

private:
    class MapLock;

    ReplacementMap replacements_;
    CRITICAL_SECTION lock_{};
    bool lockInitialized_ = false;
};
