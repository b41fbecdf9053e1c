// Stand-in for shlwapi.h.
#pragma once

#include <windef.h>

extern "C" BOOL WINAPI PathRemoveFileSpecW(LPWSTR path);
