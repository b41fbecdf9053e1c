// Where the Wine lane's fixtures leave what the scenarios read back: the toasts
// the notification runtime was asked to show and the console's command line,
// below one key of the current user.
#pragma once

#include <windows.h>

namespace wine_records {

inline constexpr const wchar_t* kRoot = L"Software\\QuillWineTests";
// One subkey per toast, named by its id ("00000001", ...), with the values
// AppUserModelID, Time (UTC, ISO 8601) and Xml (the text exactly as shown).
inline constexpr const wchar_t* kToasts = L"Software\\QuillWineTests\\Toasts";
// The value CommandLine: the console's whole command line.
inline constexpr const wchar_t* kConsole = L"Software\\QuillWineTests\\Console";

}  // namespace wine_records
