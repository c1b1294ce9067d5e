#include "platform/gtk/dialogs/picture_pixbuf.h"

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

}  // namespace larkwend::gtk
