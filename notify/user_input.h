// Reading the user inputs of an activation: keys and the choices the handler
// compares are matched folding only the ASCII letters A to Z.
#pragma once

#include <notification_platform.h>

#include "common/wide_string.h"

// Whole-text equality with A-Z folded to a-z; every other code unit compares
// by value. Null equals only null.
bool EqualsFoldingAsciiLetters(const WCHAR* first, const WCHAR* second) noexcept;

// The value of the first of the count entries whose key matches key (a null
// value gives the empty text). False, and value untouched, when data is null or
// nothing matches; an entry with a null key never matches.
bool FindUserInputValue(const winsdk::NOTIFICATION_USER_INPUT_DATA* data, ULONG count, const WCHAR* key,
                        CWideString& value);
