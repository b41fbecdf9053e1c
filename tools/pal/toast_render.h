// "pal toast render ID [--out FILE.png] [--scale 1|2]": a picture of a stored
// toast, drawn by the program pal-toast-render beside pal.
#pragma once

#include "tools/pal/verbs.h"

namespace pal::tool {

// The arguments after "toast" ("render", the id, the options).
int RunToastRender(const Arguments& arguments);

}  // namespace pal::tool
