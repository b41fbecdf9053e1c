// Stand-in for pathcch.h.
#pragma once

#include <windef.h>
#include <winerror.h>

extern "C" HRESULT WINAPI PathCchRemoveFileSpec(PWSTR path, size_t capacity);
