// Draws a toast as the Windows 10 notification of the ToastGeneric template
// lays it out: 364 pixels wide, dark, white text; the logo at the left, the
// title and texts beside it, then the selection boxes and a row of buttons.
// Text is laid out by Pango (wrapping, fallback fonts) and drawn by Cairo.
#pragma once

#include <string>
#include <vector>

#include "tools/pal/render/cairo_handles.h"
#include "tools/pal/render/toast_view.h"

namespace pal::tool {

inline constexpr int kToastWidth = 364;

struct Box {
    double x = 0, y = 0, width = 0, height = 0;
    double Right() const { return x + width; }
    double Bottom() const { return y + height; }
};

// One text as Pango laid it out, in toast pixels (scale 1).
struct DrawnText {
    enum class Role { Title, Text, Selection, Button } role = Role::Text;
    std::string text;
    Box extents;     // the logical extents of the laid-out text
    Box room;        // the space it was given
    int lines = 0;
    int unknownGlyphs = 0;  // characters no installed font has a glyph for
};

struct ToastPicture {
    unique_surface surface;  // kToastWidth * scale wide
    int height = 0;          // in toast pixels
    Box logo;
    std::vector<Box> buttons;
    std::vector<DrawnText> texts;
    std::vector<std::string> warnings;  // what was drawn in place of what could not be had
};

// scale is 1 or 2 (device pixels per toast pixel).
ToastPicture PaintToast(const ToastView& view, int scale);

}  // namespace pal::tool
