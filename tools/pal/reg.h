// "pal reg": reg.exe's query, add and delete, and a REGEDIT5 export to
// standard output, all through the platform's Win32 registry calls.
#pragma once

#include "tools/pal/verbs.h"

namespace pal::tool {

int RunReg(const Arguments& arguments);

}  // namespace pal::tool
