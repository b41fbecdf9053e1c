// The platform's state directory: PAL_PREFIX, or ${XDG_DATA_HOME:-$HOME/.local/share}/pal.
// Its registry, toasts and endpoints are only as private as the directory, so a
// prefix another user owns or may write into is refused, here and nowhere else.
#pragma once

#include <windows.h>

#include <string>

namespace pal {

// The prefix path, created with mode 0700 on first use. ERROR_ACCESS_DENIED when
// it exists but is not the user's own or is writable by group or others;
// ERROR_PATH_NOT_FOUND when there is none and none can be made.
LSTATUS FindPrefix(std::string& path);

// Ends the process with a one-line message and exit status 1 when the prefix
// is refused, before the program reads anything from it. Program starts call it.
void StopIfPrefixRefused();

}  // namespace pal
