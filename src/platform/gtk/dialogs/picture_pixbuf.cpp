// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/picture_pixbuf.h"

#include <algorithm>

namespace larkwend::gtk {

GObjectPtr<GdkPixbuf> LoadPicture(std::span<const unsigned char> bytes) {
  if (bytes.empty()) return {};
  auto loader = GObjectPtr<GdkPixbufLoader>::Adopt(gdk_pixbuf_loader_new());
  bool ok = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), nullptr);
  // Closing is needed even after a failed write; the loader reports its own errors here.
  ok = gdk_pixbuf_loader_close(loader.get(), nullptr) && ok;
  if (!ok) return {};
  return GObjectPtr<GdkPixbuf>::Retain(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

CairoSurfacePtr PictureSurface(PictureLookup lookup, int resourceId, int deviceScale,
                               const PixelRect& fit, GdkWindow* window) {
  if (!lookup) return {};
  deviceScale = std::max(1, deviceScale);
  int drawnFor = deviceScale;
  GObjectPtr<GdkPixbuf> picture = LoadPicture(lookup(resourceId, deviceScale));
  if (!picture && deviceScale != 1) {
    drawnFor = 1;
    picture = LoadPicture(lookup(resourceId, 1));
  }
  if (!picture) return {};
  const int width = gdk_pixbuf_get_width(picture.get());
  const int height = gdk_pixbuf_get_height(picture.get());
  // In logical pixels: the picture's own size, and the share of it that fits.
  const double logicalWidth = double(width) / drawnFor;
  const double logicalHeight = double(height) / drawnFor;
  double shrink = std::min({1.0, fit.width / logicalWidth, fit.height / logicalHeight});
  if (shrink <= 0) shrink = 1.0;
  const int deviceWidth = std::max(1, int(int(logicalWidth * shrink) * deviceScale));
  const int deviceHeight = std::max(1, int(int(logicalHeight * shrink) * deviceScale));
  if (deviceWidth != width || deviceHeight != height) {
    picture = GObjectPtr<GdkPixbuf>::Adopt(
        gdk_pixbuf_scale_simple(picture.get(), deviceWidth, deviceHeight, GDK_INTERP_BILINEAR));
    if (!picture) return {};
  }
  return CairoSurfacePtr(gdk_cairo_surface_create_from_pixbuf(picture.get(), deviceScale, window));
}

}  // namespace larkwend::gtk
