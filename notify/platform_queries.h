// The two platform queries the notification code and the entry point share:
// the Windows version test and the program's directory, cached per process.
#pragma once

#include <windows.h>

// True when the running Windows reports at least major.minor, service pack 0.
// Asks the platform on every call.
bool IsOsVersionAtLeast(WORD major, WORD minor) noexcept;

// The directory of the program's executable without a trailing separator (a
// drive root keeps its backslash), or the empty text when it could not be
// determined; an empty result is determined again on the next call. The text
// stays valid until the process ends.
const WCHAR* GetModuleDirectory();
