// SPDX-License-Identifier: GPL-3.0-or-later
// Look-ups of the program's dialog windows and their controls, for the end-to-end tests and the
// benchmarks, from the marks the GTK dialog window leaves on its widgets (gtk_dialog_tags.h). The
// program itself never needs them.
#pragma once

#include <gtk/gtk.h>

#include <vector>

namespace larkwend::e2e {

// The widget that stands for control `id` in `toplevel` (an entry, text view, combo box, button,
// picture, label or the browser's view), or null.
GtkWidget* FindDialogControl(GtkWidget* toplevel, int id);
// The template id of a dialog window, or -1 for any other window.
int DialogTemplateIdOf(GtkWindow* window);
// The ids of the window timers running on a dialog window, in increasing order (empty for any
// other window).
std::vector<unsigned> RunningDialogTimers(GtkWindow* window);

}  // namespace larkwend::e2e
