// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/gtk_dialog_tags.h"

namespace larkwend::gtk {

// Control ids are stored offset by one, so that no id is stored as a null pointer.
void TagControl(GtkWidget* widget, int id) {
  g_object_set_data(G_OBJECT(widget), kControlIdKey, GINT_TO_POINTER(id + 1));
}

std::optional<int> TagOf(GtkWidget* widget) {
  gpointer data = g_object_get_data(G_OBJECT(widget), kControlIdKey);
  if (!data) return std::nullopt;
  return GPOINTER_TO_INT(data) - 1;
}

int DialogControlIdOf(GtkWidget* widget) {
  for (; widget; widget = gtk_widget_get_parent(widget))
    if (std::optional<int> tag = TagOf(widget)) return *tag;
  return -1;
}

}  // namespace larkwend::gtk
