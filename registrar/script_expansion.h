// The expansion pass that prepares a registry script for the interpreter:
// %NAME% references replaced by the registrar's values, "%%" by one percent
// sign, and, for per-user registration, "HKCR" root blocks moved below
// HKEY_CURRENT_USER\Software\Classes.
#pragma once

#include <windows.h>

#include "common/unique_any.h"
#include "registrar/reg_object.h"

// On success the caller owns the NUL-terminated expanded text; on failure
// expanded is left untouched.
HRESULT ExpandScript(LPCWSTR source, CRegObject& registrar, unique_cotaskmem& expanded) noexcept;

// Copies source with every apostrophe doubled, as a quoted script token needs
// it. E_FAIL when the result and its NUL do not fit capacity units.
HRESULT EscapeApostrophes(LPWSTR destination, size_t capacity, LPCWSTR source) noexcept;
