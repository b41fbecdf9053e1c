// pal com activate: a COM client of a local server's notification activator.
#pragma once

#include "tools/pal/verbs.h"

namespace pal::tool {

int RunCom(const Arguments& arguments);

}  // namespace pal::tool
