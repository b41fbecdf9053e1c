// One owner for every platform handle and buffer: a move-only holder that
// closes its value through the platform's own release call. Closing keeps the
// thread's last error, so a failure code read after a clean-up is the right one.
#pragma once

#include <objbase.h>
#include <windows.h>

#include <utility>

template <typename T, auto Close, T Invalid = T{}> class unique_any {
public:
    unique_any() noexcept = default;
    explicit unique_any(T value) noexcept : value_(value) {}
    unique_any(const unique_any&) = delete;
    unique_any& operator=(const unique_any&) = delete;
    unique_any(unique_any&& other) noexcept : value_(other.release()) {}
    unique_any& operator=(unique_any&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~unique_any() { reset(); }

    T get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != Invalid; }

    // Closes the current value (if any) and returns the slot to fill.
    T* put() noexcept {
        reset();
        return &value_;
    }

    T release() noexcept { return std::exchange(value_, Invalid); }

    void reset(T value = Invalid) noexcept {
        const T old = std::exchange(value_, value);
        if (old != Invalid) {
            const DWORD lastError = GetLastError();
            Close(old);
            SetLastError(lastError);
        }
    }

private:
    T value_ = Invalid;
};

namespace unique_any_detail {
inline void CloseKey(HKEY key) noexcept { RegCloseKey(key); }
inline void CloseHandleValue(HANDLE handle) noexcept { CloseHandle(handle); }
inline void FreeTaskMemory(void* block) noexcept { CoTaskMemFree(block); }
inline void FreeLibraryModule(HMODULE module) noexcept { FreeLibrary(module); }
}  // namespace unique_any_detail

using unique_hkey = unique_any<HKEY, &unique_any_detail::CloseKey>;
using unique_handle = unique_any<HANDLE, &unique_any_detail::CloseHandleValue>;
using unique_cotaskmem = unique_any<void*, &unique_any_detail::FreeTaskMemory>;
using unique_hmodule = unique_any<HMODULE, &unique_any_detail::FreeLibraryModule>;
