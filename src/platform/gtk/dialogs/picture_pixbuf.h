// SPDX-License-Identifier: GPL-3.0-or-later
// Pictures handed over as encoded bytes, as GdkPixbufs, and as surfaces drawn for the screen's
// scale.
#pragma once

#include <gdk/gdk.h>

#include <memory>
#include <span>

#include "platform/dialog.h"
#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {

// Null for no bytes or bytes that do not decode.
GObjectPtr<GdkPixbuf> LoadPicture(std::span<const unsigned char> bytes);

struct CairoSurfaceDeleter {
  void operator()(cairo_surface_t* surface) const { cairo_surface_destroy(surface); }
};
using CairoSurfacePtr = std::unique_ptr<cairo_surface_t, CairoSurfaceDeleter>;

// A picture resource as a surface of `deviceScale` device pixels per logical pixel, made from the
// picture drawn for that scale where the lookup has one and from the scale-1 picture otherwise.
// Its logical size is the picture's own, scaled down (keeping its proportions) to fit `fit`.
// `window` may be null before the widget is realised. Null when the picture cannot be had.
CairoSurfacePtr PictureSurface(PictureLookup lookup, int resourceId, int deviceScale,
                               const PixelRect& fit, GdkWindow* window);

}  // namespace larkwend::gtk
