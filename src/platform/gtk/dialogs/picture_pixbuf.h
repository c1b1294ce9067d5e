// Pictures handed over as encoded bytes, as GdkPixbufs.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include <span>

#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {

// Null for no bytes or bytes that do not decode.
GObjectPtr<GdkPixbuf> LoadPicture(std::span<const unsigned char> bytes);

}  // namespace larkwend::gtk
