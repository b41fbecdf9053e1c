// The registrar's replacement operations, each under the registrar's lock.
#include "registrar/reg_object.h"

#include "common/hresult.h"

class CRegObject::MapLock {
public:
    explicit MapLock(CRegObject& owner) noexcept : owner_(owner) {
        if (owner_.lockInitialized_) EnterCriticalSection(&owner_.lock_);
    }
    ~MapLock() {
        if (owner_.lockInitialized_) LeaveCriticalSection(&owner_.lock_);
    }
    MapLock(const MapLock&) = delete;
    MapLock& operator=(const MapLock&) = delete;

private:
    CRegObject& owner_;
};

HRESULT CRegObject::Initialize() noexcept {
    if (lockInitialized_) return S_OK;
    if (!InitializeCriticalSectionEx(&lock_, 0, 0)) {
        // Without the lock the registrar cannot be used, even if no error code was left.
        const HRESULT failure = HResultFromLastError();
        return FAILED(failure) ? failure : E_FAIL;
    }
    lockInitialized_ = true;
    return S_OK;
}

CRegObject::~CRegObject() {
    {
        MapLock guard(*this);
        replacements_.Clear();
    }
    if (lockInitialized_) {
        DeleteCriticalSection(&lock_);
        lockInitialized_ = false;
    }
}

HRESULT STDMETHODCALLTYPE CRegObject::AddScriptReplacement(LPCOLESTR name, LPCOLESTR value) {
    if (name == nullptr || value == nullptr) return E_INVALIDARG;
    MapLock guard(*this);
    return replacements_.Add(name, value) ? S_OK : E_OUTOFMEMORY;
}

HRESULT STDMETHODCALLTYPE CRegObject::ClearScriptReplacements() {
    MapLock guard(*this);
    replacements_.Clear();
    return S_OK;
}

LPCWSTR CRegObject::LookupReplacement(LPCWSTR name) noexcept {
    MapLock guard(*this);
    return replacements_.Find(name);
}
