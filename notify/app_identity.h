// The process's identity toward the notification platform: the AppUserModelID
// toasts are shown under, and the two flags that say start-up has stored it and
// registered the class object. Written once by the main thread, then only read.
#pragma once

#include <windows.h>

#include <atomic>

#include "common/wide_string.h"

// The identifier the entry point stores; until then the string is empty.
inline constexpr WCHAR kCorvaneAppUserModelId[] = TEXT("Corvane.Tessaline");

extern CWideString AppUserModelId;

// Stored with release and read with acquire, so a reader that sees a flag set
// also sees what was written before it. Never cleared.
extern std::atomic<bool> IdentityReady;
extern std::atomic<bool> ServerReady;
