// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_dialog_lookup.h"

#include "platform/gtk/dialogs/gtk_dialog_tags.h"
#include "platform/gtk/dialogs/gtk_dialog_window.h"

namespace larkwend::e2e {
namespace {

GtkWidget* FindTagged(GtkWidget* widget, int id) {
  if (std::optional<int> tag = gtk::TagOf(widget)) return *tag == id ? widget : nullptr;
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  struct Search {
    int id;
    GtkWidget* found = nullptr;
  } search{id};
  gtk_container_forall(
      GTK_CONTAINER(widget),
      [](GtkWidget* child, gpointer data) {
        auto* s = static_cast<Search*>(data);
        if (!s->found) s->found = FindTagged(child, s->id);
      },
      &search);
  return search.found;
}

}  // namespace

GtkWidget* FindDialogControl(GtkWidget* toplevel, int id) {
  return FindTagged(toplevel, id);
}

int DialogTemplateIdOf(GtkWindow* window) {
  gpointer data = g_object_get_data(G_OBJECT(window), gtk::kTemplateIdKey);
  return data ? GPOINTER_TO_INT(data) : -1;
}

std::vector<unsigned> RunningDialogTimers(GtkWindow* window) {
  auto* dialog = static_cast<const gtk::GtkDialogWindow*>(
      g_object_get_data(G_OBJECT(window), gtk::kDialogWindowKey));
  return dialog ? dialog->RunningTimers() : std::vector<unsigned>{};
}

}  // namespace larkwend::e2e
