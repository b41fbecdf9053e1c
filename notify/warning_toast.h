// The case-sensitive folder warning as toast XML: the localized texts, loaded
// once per process, placed into the toast template with the escaped folder
// path and the program's directory.
#pragma once

#include <windows.h>

#include "common/wide_string.h"

// Loads the seven warning texts (ids 101 to 107, escaped) if this process has
// not yet done so. A text whose loading raised is loaded again next time;
// texts already loaded are kept, so a later change of language has no effect.
void EnsureWarningStringsLoaded();

// The toast XML for the folder path (placed escaped). The selection between
// showing the warning again and never showing it is offered when choice is
// "true" in any case of the letters.
CWideString ComposeWarningToast(const WCHAR* path, const WCHAR* choice);
