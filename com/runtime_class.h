// The COM base of a classic object implementing one interface: atomic
// reference counting, QueryInterface for IUnknown and that interface (the same
// pointer for both), and one server reference held for the object's lifetime.
#pragma once

#include <unknwn.h>

#include <atomic>

#include "com/module.h"

template <class Interface> class RuntimeClass : public Interface {
public:
    RuntimeClass(const RuntimeClass&) = delete;
    RuntimeClass& operator=(const RuntimeClass&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(Interface)) return E_NOINTERFACE;
        *object = static_cast<Interface*>(this);
        AddRef();
        return S_OK;
    }

    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return refCount.fetch_add(1, std::memory_order_relaxed) + 1; }

    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG remaining = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0) {
            delete this;
            if (ModuleBase* module = CurrentModule()) module->ReleaseServerReference();
        }
        return remaining;
    }

    virtual ~RuntimeClass() = default;

protected:
    // The creation reference, and from here on one server reference.
    RuntimeClass() noexcept {
        if (ModuleBase* module = CurrentModule()) module->AcquireServerReference();
    }

private:
    std::atomic<ULONG> refCount{1};
};
