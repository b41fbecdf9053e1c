// Escaping of texts placed inside the toast's XML: the platform's own
// serialisation of a text node where it is available, a fixed replacement
// table where it is not.
#pragma once

#include <windows.h>

#include "common/wide_string.h"

// A new string holding text (null counts as empty) in escaped form.
CWideString EscapeXml(const WCHAR* text);

// Replaces the content of text by its escaped form.
void EscapeXmlInPlace(CWideString& text);
