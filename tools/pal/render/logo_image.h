// The toast's logo: the picture file a file:/// URI names (its path may hold
// "\" separators, as a Windows program writes it), read only when it is a
// regular PNG file of a size a logo can have.
#pragma once

#include <string>

#include "tools/pal/render/cairo_handles.h"

namespace pal::tool {

// The file the source names, or an empty string when it names none on this disk.
std::string LogoPath(const std::string& source);

// The picture, or null with the reason it cannot be had.
unique_surface LoadLogo(const std::string& source, std::string& reason);

}  // namespace pal::tool
