// Functions that Windows 7 lacks are bound on their first call instead of at
// load time, so that the executable starts there; callers reach them only
// behind a version test for Windows 8.
#pragma once

#include <windows.h>

#include <atomic>

namespace pal_win {

// The named export of a system library, looked up once; null when absent.
FARPROC FindSystemExport(const wchar_t* library, const char* name) noexcept;

template <class Function> Function BindOnFirstCall(std::atomic<Function>& slot, const wchar_t* library, const char* name) noexcept {
    Function bound = slot.load(std::memory_order_acquire);
    if (bound == nullptr) {
        // Two threads may both look it up; they find the same address.
        bound = reinterpret_cast<Function>(reinterpret_cast<void*>(FindSystemExport(library, name)));
        slot.store(bound, std::memory_order_release);
    }
    return bound;
}

}  // namespace pal_win
