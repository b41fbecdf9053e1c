// "pal toast press ID [--select INPUT=SELECTION]...": the user presses a stored
// toast's action button, and the platform activates the toast's app.
#pragma once

#include "tools/pal/verbs.h"

namespace pal::tool {

// The arguments after "toast" ("press", the id, the options).
int RunToastPress(const Arguments& arguments);

}  // namespace pal::tool
