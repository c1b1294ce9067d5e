// SPDX-License-Identifier: GPL-3.0-or-later
// Marks that tie GTK widgets and windows back to a dialog's template: the dialog window finds the
// control a signal came from through them, and so do the look-ups for tests and tools.
#pragma once

#include <gtk/gtk.h>

#include <optional>

namespace larkwend::gtk {

// Object data keys of the marks.
inline constexpr char kTemplateIdKey[] = "larkwend-template-id";
inline constexpr char kControlIdKey[] = "larkwend-control-id";
inline constexpr char kDialogWindowKey[] = "larkwend-dialog-window";

// Marks `widget` as the control `id` of its dialog.
void TagControl(GtkWidget* widget, int id);
// The id `widget` itself is marked with, if any.
std::optional<int> TagOf(GtkWidget* widget);
// The id of the control `widget` belongs to (it may be a part of it), or -1.
int DialogControlIdOf(GtkWidget* widget);

}  // namespace larkwend::gtk
