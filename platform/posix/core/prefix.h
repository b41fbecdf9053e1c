// The platform's state directory: PAL_PREFIX, or ${XDG_DATA_HOME:-$HOME/.local/share}/pal.
#pragma once

#include <string>

namespace pal {

// The prefix path, created with mode 0700 on first use. Empty when it cannot be made.
std::string PrefixDirectory();

}  // namespace pal
