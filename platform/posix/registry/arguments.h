// Checks of the registry calls' arguments that do not need the store: subkey
// paths, value names and access masks, with the codes Windows gives.
#pragma once

#include <windows.h>

#include "platform/posix/registry/key_view.h"

namespace pal::registry {

constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

// Splits at backslashes. A leading backslash gives ERROR_BAD_PATHNAME, a name
// over 255 units ERROR_INVALID_PARAMETER; empty names (doubled or trailing
// backslashes) are skipped.
LSTATUS ParseSubkeyPath(LPCWSTR text, KeyPath& path);

// The rights a handle opened with desired gets. Generic rights map to key
// rights; both view bits at once give ERROR_INVALID_PARAMETER (there is one
// view, so either bit alone is accepted); rights with no meaning here give
// ERROR_NOT_SUPPORTED.
LSTATUS GrantedAccess(REGSAM desired, REGSAM& granted);

LSTATUS CheckValueName(LPCWSTR name);

}  // namespace pal::registry
