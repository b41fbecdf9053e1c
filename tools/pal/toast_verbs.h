// "pal toast": the toast store, as the person at the screen would see it.
#pragma once

#include "tools/pal/verbs.h"

namespace pal::tool {

int RunToast(const Arguments& arguments);

}  // namespace pal::tool
