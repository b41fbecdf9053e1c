// The base of the platform's own Windows Runtime objects: an atomic reference
// count and a QueryInterface that answers IUnknown, IInspectable and exactly the
// interfaces listed. Derived classes name their runtime class.
#pragma once

#include <roapi.h>
#include <winstring.h>

#include <atomic>
#include <new>
#include <string>
#include <string_view>
#include <type_traits>

namespace pal::winrt {

// Text in the platform's UTF-16 unit (char16_t on Linux, wchar_t on Windows).
using WideText = std::basic_string<WCHAR>;
using WideTextView = std::basic_string_view<WCHAR>;
using ClassName = WideTextView;

template <class Derived, class First, class... Others> class RuntimeObject : public First, public Others... {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (object == nullptr) return E_POINTER;
        void* found = nullptr;
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IInspectable) || iid == __uuidof(First)) {
            found = static_cast<First*>(this);
        } else {
            (void)((iid == __uuidof(Others) && (found = static_cast<Others*>(this)) != nullptr) || ...);
        }
        *object = found;
        if (found == nullptr) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return references_.fetch_add(1, std::memory_order_relaxed) + 1; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = references_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete static_cast<Derived*>(this);
        return left;
    }

    HRESULT STDMETHODCALLTYPE GetIids(ULONG*, IID**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetRuntimeClassName(HSTRING* className) override {
        if (className == nullptr) return E_POINTER;
        const ClassName name = Derived::kRuntimeClassName;
        return WindowsCreateString(name.data(), static_cast<UINT32>(name.size()), className);
    }
    HRESULT STDMETHODCALLTYPE GetTrustLevel(TrustLevel* trustLevel) override {
        if (trustLevel == nullptr) return E_POINTER;
        *trustLevel = BaseTrust;
        return S_OK;
    }

    // Hands a new object out through one of its interfaces, or E_OUTOFMEMORY.
    template <class Interface, class... Args> static HRESULT Create(Interface** result, Args&&... args) {
        if (result == nullptr) return E_POINTER;
        Derived* object = new (std::nothrow) Derived(std::forward<Args>(args)...);
        if (object == nullptr) return E_OUTOFMEMORY;
        *result = static_cast<Interface*>(object);
        return S_OK;
    }

protected:
    RuntimeObject() = default;
    ~RuntimeObject() = default;

private:
    std::atomic<ULONG> references_{1};
};

}  // namespace pal::winrt
