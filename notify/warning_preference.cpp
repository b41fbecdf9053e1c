// The preference write of the warning's dismiss path. This program only ever
// writes the value 0 there and never reads it back.
#include "notify/warning_preference.h"

#include <windows.h>

#include "common/unique_any.h"

void RecordWarningNeverShownAgain() noexcept {
    unique_hkey key;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, TEXT("SOFTWARE\\Corvane\\Ardentis"), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return;
    }
    const DWORD showWarning = 0;
    RegSetValueExW(key.get(), TEXT("RivaVavirezarShowWarning"), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&showWarning),
                   sizeof(showWarning));
}
