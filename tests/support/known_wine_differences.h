// The one list of the places where Wine, which runs the Windows build of the
// platform contract tests, differs from Windows (or where our Linux platform
// deliberately goes beyond Windows). Each case names its entry and is skipped
// under Wine only; on Linux and on Windows it runs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

enum class WineDifference {
    // Windows answers a string reference whose text is not terminated at its
    // length with E_STRING_NOT_NULL_TERMINATED (0x80000017); Wine 8 answers E_INVALIDARG.
    kUnterminatedStringReference,
    // GetModuleFileNameW into a buffer too small: Windows (Vista on) truncates to
    // size - 1 units and terminates; Wine 8 fills the whole buffer unterminated.
    kModuleFileNameTruncation,
    // Not Wine's fault: our Linux platform also splits paths at "/", where Linux
    // puts its separators; Windows and Wine split at "\" only.
    kSlashSeparatesOnLinuxOnly,
};

inline const char* WineDifferenceReason(WineDifference difference) {
    switch (difference) {
        case WineDifference::kUnterminatedStringReference: return "Wine answers E_INVALIDARG, Windows 0x80000017";
        case WineDifference::kModuleFileNameTruncation: return "Wine leaves a truncated module path unterminated";
        case WineDifference::kSlashSeparatesOnLinuxOnly: return "\"/\" separates path elements on our Linux platform only";
    }
    return "";
}

inline bool RunningUnderWine() {
#if defined(_WIN32)
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

#define SKIP_WHERE_WINE_DIFFERS(difference) \
    if (RunningUnderWine()) GTEST_SKIP() << "known Wine difference: " << WineDifferenceReason(difference)
