// The console the executable launches on a plain start, for the Wine lane:
// it records its whole command line where the scenarios read it and ends.
#include <windows.h>

#include <cwchar>

#include "tests/wine/wine_records.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const wchar_t* commandLine = GetCommandLineW();
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, wine_records::kConsole, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
        return 1;
    }
    const LSTATUS written =
        RegSetValueExW(key, L"CommandLine", 0, REG_SZ, reinterpret_cast<const BYTE*>(commandLine),
                       static_cast<DWORD>((std::wcslen(commandLine) + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
    return written == ERROR_SUCCESS ? 0 : 1;
}
