// One owner for each Cairo and Pango object the renderer makes.
#pragma once

#include <cairo.h>
#include <glib-object.h>

#include <memory>

namespace pal::tool {

struct SurfaceRelease {
    void operator()(cairo_surface_t* surface) const noexcept { cairo_surface_destroy(surface); }
};
struct ContextRelease {
    void operator()(cairo_t* context) const noexcept { cairo_destroy(context); }
};
struct GObjectRelease {
    void operator()(void* object) const noexcept { g_object_unref(object); }
};

using unique_surface = std::unique_ptr<cairo_surface_t, SurfaceRelease>;
using unique_cairo = std::unique_ptr<cairo_t, ContextRelease>;
template <typename T>
using unique_gobject = std::unique_ptr<T, GObjectRelease>;

}  // namespace pal::tool
