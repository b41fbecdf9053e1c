// The fixed names of the registry script language: root key names, the key
// names that a forced removal never deletes, and the keywords. All compare
// with the platform's case-insensitive comparison.
#pragma once

#include <windows.h>

// The root key a script names, or null when the name is not a root key name.
HKEY FindRootKey(LPCWSTR name) noexcept;

// Keys whose trees ForceRemove and Delete never delete.
bool IsProtectedKeyName(LPCWSTR name) noexcept;

bool IsScriptWord(LPCWSTR token, LPCWSTR word) noexcept;
