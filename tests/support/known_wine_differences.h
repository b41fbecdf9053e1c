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
    // Not Wine's fault: our platform has no named kernel objects and refuses a
    // named event with ERROR_NOT_SUPPORTED; Windows and Wine create it.
    kNamedEventsOnWindowsOnly,
    // Not Wine's fault: our platform backs HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE
    // and HKEY_CLASSES_ROOT only and answers the other predefined keys with
    // ERROR_INVALID_HANDLE; Windows and Wine open them.
    kUnbackedRootsOnLinuxOnly,
    // RegEnumKeyExW without a name buffer, which Windows documents as required:
    // our platform answers ERROR_INVALID_PARAMETER; Wine 8 writes through the
    // null pointer and the process dies.
    kNullEnumerationNameWritten,
    // HKEY_CLASSES_ROOT merges HKCU\Software\Classes over HKLM\Software\Classes
    // on Windows (2000 on): reads prefer the user's key, writes go to it when it
    // exists. Wine 8 shows and changes the machine's classes only.
    kClassesRootShowsTheMachineOnly,
    // Creating a subkey needs KEY_CREATE_SUB_KEY on the parent's handle: Windows
    // answers ERROR_ACCESS_DENIED below a KEY_READ handle; Wine 8 creates the key.
    kCreateBelowReadOnlyKey,
    // Not Wine's fault: our platform keeps no volatile keys and no links and
    // answers ERROR_NOT_SUPPORTED; Windows and Wine have both.
    kVolatileKeysAndLinksOnWindowsOnly,
    // Options beyond the documented ones, KEY_WOW64_32KEY with KEY_WOW64_64KEY
    // (documented "either, not both") and a reserved argument that is not 0
    // (documented "must be zero"): our platform refuses them with
    // ERROR_INVALID_PARAMETER; Wine 8 accepts most of them.
    kInvalidKeyOptionsAccepted,
    // A key name of more than 255 characters: Windows refuses it with
    // ERROR_INVALID_PARAMETER, as our platform does; Wine 8 creates the key.
    kLongKeyNamesAccepted,
    // Not Wine's fault: our platform opens modules as data files only and
    // answers ERROR_NOT_SUPPORTED for code; Windows and Wine load it.
    kCodeModulesOnWindowsOnly,
};

inline const char* WineDifferenceReason(WineDifference difference) {
    switch (difference) {
        case WineDifference::kUnterminatedStringReference: return "Wine answers E_INVALIDARG, Windows 0x80000017";
        case WineDifference::kModuleFileNameTruncation: return "Wine leaves a truncated module path unterminated";
        case WineDifference::kReservedArgumentIgnored: return "Wine ignores a reserved argument that is not 0";
        case WineDifference::kUnterminatedTextValueGrows: return "Wine adds to an unterminated REG_SZ value";
        case WineDifference::kSlashSeparatesOnLinuxOnly: return "\"/\" separates path elements on our Linux platform only";
        case WineDifference::kNamedEventsOnWindowsOnly: return "our Linux platform has no named events";
        case WineDifference::kUnbackedRootsOnLinuxOnly: return "our Linux platform backs HKCU, HKLM and HKCR only";
        case WineDifference::kNullEnumerationNameWritten: return "Wine writes a key's name through a null pointer";
        case WineDifference::kClassesRootShowsTheMachineOnly: return "Wine's HKEY_CLASSES_ROOT does not merge the user's classes";
        case WineDifference::kCreateBelowReadOnlyKey: return "Wine creates a subkey below a read-only handle";
        case WineDifference::kVolatileKeysAndLinksOnWindowsOnly: return "our Linux platform has no volatile keys or links";
        case WineDifference::kInvalidKeyOptionsAccepted: return "Wine accepts unknown key options and both views at once";
        case WineDifference::kLongKeyNamesAccepted: return "Wine creates keys whose names are longer than 255 characters";
        case WineDifference::kCodeModulesOnWindowsOnly: return "our Linux platform loads no code from modules";
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
