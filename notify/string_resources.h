// The program's localized texts: lookup in the string table of the program's
// resource modules, and the escaped form every toast text is placed in.
#pragma once

#include <windows.h>

#include "common/wide_string.h"

// True and the entry's text in text when some resource module holds a non-empty
// entry for id in the user's language (with the platform's fallbacks); false
// and text unchanged otherwise.
bool LoadStringResource(UINT id, CWideString& text);

// The entry for id, or "String resource <id> missing", escaped for XML.
CWideString LoadEscapedString(UINT id);
