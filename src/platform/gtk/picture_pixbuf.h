// The program's built-in pictures as GdkPixbufs.
#pragma once

#include <gdk-pixbuf/gdk-pixbuf.h>

#include "platform/gtk/gobject_ptr.h"

namespace larkwend::gtk {

// Null for an unknown resource or bytes that do not decode.
GObjectPtr<GdkPixbuf> LoadPicture(int resourceId);

}  // namespace larkwend::gtk
