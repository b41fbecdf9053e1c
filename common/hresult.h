// HRESULT helpers shared by every subsystem: the Win32 and last-error
// conversions and the RETURN_IF_* macros that keep error paths flat.
#pragma once

#include <windows.h>

// n itself when n is 0 or negative, else 0x80070000 + (n & 0xFFFF).
constexpr HRESULT HResultFromWin32(LONG code) noexcept {
    return code <= 0 ? static_cast<HRESULT>(code)
                     : static_cast<HRESULT>(0x80070000u | (static_cast<DWORD>(code) & 0xFFFFu));
}

inline HRESULT HResultFromLastError() noexcept { return HResultFromWin32(static_cast<LONG>(GetLastError())); }

#define RETURN_IF_FAILED(expression)                 \
    do {                                             \
        const HRESULT hr_returned_ = (expression);   \
        if (FAILED(hr_returned_)) return hr_returned_; \
    } while (0)

#define RETURN_IF_WIN32_ERROR(expression)                                    \
    do {                                                                     \
        const LONG status_returned_ = static_cast<LONG>(expression);         \
        if (status_returned_ != ERROR_SUCCESS) return HResultFromWin32(status_returned_); \
    } while (0)

#define RETURN_LAST_ERROR_IF(condition)                       \
    do {                                                      \
        if (condition) return HResultFromLastError();         \
    } while (0)
