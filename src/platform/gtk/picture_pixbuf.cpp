#include "platform/gtk/picture_pixbuf.h"

#include "resources/pictures.h"

namespace larkwend::gtk {

GObjectPtr<GdkPixbuf> LoadPicture(int resourceId) {
  std::span<const unsigned char> bytes = PictureResource(resourceId);
  if (bytes.empty()) return {};
  auto loader = GObjectPtr<GdkPixbufLoader>::Adopt(gdk_pixbuf_loader_new());
  bool ok = gdk_pixbuf_loader_write(loader.get(), bytes.data(), bytes.size(), nullptr);
  // Closing is needed even after a failed write; the loader reports its own errors here.
  ok = gdk_pixbuf_loader_close(loader.get(), nullptr) && ok;
  if (!ok) return {};
  return GObjectPtr<GdkPixbuf>::Retain(gdk_pixbuf_loader_get_pixbuf(loader.get()));
}

}  // namespace larkwend::gtk
