// The class object of a class T: an IClassFactory whose CreateInstance makes a
// T (never aggregated) and whose LockServer takes or gives back one server
// reference. The factory's own references never touch the server count.
#pragma once

#include <unknwn.h>

#include <atomic>
#include <new>

#include "common/com_boundary.h"
#include "com/class_entry.h"
#include "com/module.h"
#include <notification_platform.h>

class FactoryBase {
protected:
    explicit FactoryBase(unsigned moduleType) noexcept : moduleType(moduleType) {}
    ~FactoryBase() = default;

    unsigned moduleType;
};

class ClassFactory : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (riid != __uuidof(IUnknown) && riid != __uuidof(IClassFactory)) return E_NOINTERFACE;
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() noexcept override { return refCount.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG STDMETHODCALLTYPE Release() noexcept override {
        const ULONG remaining = refCount.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (remaining == 0) delete this;
        return remaining;
    }

    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) noexcept override {
        ModuleBase* module = CurrentModule();
        if (module == nullptr) {
            RoOriginateError(E_FAIL, nullptr);
            return E_FAIL;
        }
        if (lock) module->AcquireServerReference();
        else module->ReleaseServerReference();
        return S_OK;
    }

    virtual ~ClassFactory() = default;

protected:
    ClassFactory() noexcept = default;

private:
    std::atomic<ULONG> refCount{1};
};

template <class T> class SimpleClassFactory final : public ClassFactory, public FactoryBase {
public:
    explicit SimpleClassFactory(unsigned moduleType) noexcept : FactoryBase(moduleType) {}

    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** object) noexcept override {
        if (object == nullptr) return E_POINTER;
        *object = nullptr;
        if (outer != nullptr) {
            RoOriginateError(CLASS_E_NOAGGREGATION, nullptr);
            return CLASS_E_NOAGGREGATION;
        }
        // Building T may raise (its handler graph allocates): the boundary turns
        // that into its HRESULT, and a T that was not finished is freed.
        return CallAtComBoundary([&]() -> HRESULT {
            T* instance = new (std::nothrow) T();
            if (instance == nullptr) return E_OUTOFMEMORY;
            IUnknown* unknown = nullptr;
            HRESULT hr = instance->QueryInterface(__uuidof(IUnknown), reinterpret_cast<void**>(&unknown));
            instance->Release();
            if (SUCCEEDED(hr)) {
                hr = unknown->QueryInterface(riid, object);
                unknown->Release();
            }
            return hr;
        });
    }
};

// The makeFactory of a table entry for class T.
template <class T> HRESULT MakeFactory(unsigned moduleType, const ClassEntry&, REFIID riid, void** factory) noexcept {
    auto* made = new (std::nothrow) SimpleClassFactory<T>(moduleType);
    if (made == nullptr) return E_OUTOFMEMORY;
    const HRESULT hr = made->QueryInterface(riid, factory);
    made->Release();
    return hr;
}
