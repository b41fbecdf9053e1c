// A function of a system DLL found on its first call (LoadLibraryW +
// GetProcAddress) instead of at load time, so the program still starts on
// systems that lack it. The DLL stays loaded for the life of the process.
#pragma once

#include <windows.h>

#include <atomic>

namespace pal::win {

template <class Function> class LateBound;

template <class Result, class... Args> class LateBound<Result(Args...)> {
public:
    using Pointer = Result(WINAPI*)(Args...);

    constexpr LateBound(const wchar_t* module, const char* name, const wchar_t* alternativeModule = nullptr)
        : module_(module), alternativeModule_(alternativeModule), name_(name) {}

    // Calls the function, or gives missing() when this system does not have it.
    template <class Missing> Result Call(Missing missing, Args... args) {
        if (const Pointer function = Resolve()) return function(args...);
        return missing();
    }

private:
    Pointer Resolve() noexcept {
        if (void* known = address_.load(std::memory_order_acquire)) return reinterpret_cast<Pointer>(known);
        void* found = nullptr;
        for (const wchar_t* module : {module_, alternativeModule_}) {
            if (module == nullptr) continue;
            if (const HMODULE library = LoadLibraryW(module)) {
                found = reinterpret_cast<void*>(GetProcAddress(library, name_));
                if (found != nullptr) break;
            }
        }
        if (found != nullptr) address_.store(found, std::memory_order_release);
        return reinterpret_cast<Pointer>(found);
    }

    const wchar_t* module_;
    const wchar_t* alternativeModule_;
    const char* name_;
    std::atomic<void*> address_{nullptr};
};

// What a missing function reports: the loader's own error.
inline HRESULT MissingFunctionResult() noexcept { return HRESULT_FROM_WIN32(GetLastError()); }

}  // namespace pal::win
