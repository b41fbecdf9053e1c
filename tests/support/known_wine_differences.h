// The one list of the places where Wine, which runs the Windows build of the
// platform contract tests, differs from Windows (or where our Linux platform
// deliberately goes beyond Windows). Each case names its entry and is skipped
// under Wine only; on Linux and on Windows it runs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string_view>

enum class WineDifference {
    // Windows answers a string reference whose text is not terminated at its
    // length with E_STRING_NOT_NULL_TERMINATED (0x80000017); Wine 8 answers E_INVALIDARG.
    kUnterminatedStringReference,
    // GetModuleFileNameW into a buffer too small: Windows (Vista on) truncates to
    // size - 1 units and terminates; Wine 8 fills the whole buffer unterminated.
    kModuleFileNameTruncation,
    // RegSetValueExW's reserved argument must be 0; our platform refuses other
    // values with ERROR_INVALID_PARAMETER, Wine 8 ignores it. Windows documents
    // only "must be zero", not the error.
    kReservedArgumentIgnored,
    // A REG_SZ value set without its terminator: Windows keeps the bytes as given
    // (RegQueryValueExW warns the data may lack it); Wine 8 reads back 2 bytes more.
    kUnterminatedTextValueGrows,
    // Not Wine's fault: our Linux platform also splits paths at "/", where Linux
    // puts its separators; Windows and Wine split at "\" only.
    kSlashSeparatesOnLinuxOnly,
};

inline const char* WineDifferenceReason(WineDifference difference) {
    switch (difference) {
        case WineDifference::kUnterminatedStringReference: return "Wine answers E_INVALIDARG, Windows 0x80000017";
        case WineDifference::kModuleFileNameTruncation: return "Wine leaves a truncated module path unterminated";
        case WineDifference::kReservedArgumentIgnored: return "Wine ignores a reserved argument that is not 0";
        case WineDifference::kUnterminatedTextValueGrows: return "Wine adds to an unterminated REG_SZ value";
        case WineDifference::kSlashSeparatesOnLinuxOnly: return "\"/\" separates path elements on our Linux platform only";
    }
    return "";
}

// Wine gives every Windows process its data folder as an NT path; no Linux
// shell or Windows system sets such a value.
inline bool RunningUnderWine() {
    const char* dataFolder = std::getenv("WINEDATADIR");
    return dataFolder != nullptr && std::string_view(dataFolder).substr(0, 4) == "\\??\\";
}

#define SKIP_WHERE_WINE_DIFFERS(difference) \
    if (RunningUnderWine()) GTEST_SKIP() << "known Wine difference: " << WineDifferenceReason(difference)
