// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog window's modal run: shown, known to the desktop's window list, and a nested main loop
// until EndDialog.
#include "platform/gtk/common/window_registry.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/gtk/dialogs/gtk_dialog_window.h"

namespace larkwend::gtk {

void GtkDialogWindow::RegisterWindow() {
  WindowRegistry& registry = WindowRegistry::Instance();
  WindowId id = registry.RegisterWindow(GTK_WIDGET(window_), title_);
  for (const Control& control : controls_)
    if (control.kind == ControlKind::kPushButton)
      registry.RegisterChild(id, control.widget, gtk_button_get_label(GTK_BUTTON(control.widget)));
}

int GtkDialogWindow::RunModalLoop(bool focusFirst) {
  // The program asked to end (a signal) closes the window as its close box does, also when the
  // request came during the initialisation.
  ModalLoopCloser closer([this] { Command(IDCANCEL); });
  if (EndAsked()) Command(IDCANCEL);
  // EndDialog during the initialisation: the window is never shown.
  if (result_) return *result_;
  if (focusFirst) FocusFirstTabStop();
  gtk_widget_show(GTK_WIDGET(window_));
  RegisterWindow();
  loop_ = g_main_loop_new(nullptr, FALSE);
  if (!result_) g_main_loop_run(loop_);
  g_main_loop_unref(loop_);
  loop_ = nullptr;
  gtk_widget_hide(GTK_WIDGET(window_));
  return result_.value_or(IDCANCEL);
}

void GtkDialogWindow::EndDialog(int result) {
  result_ = result;
  if (loop_) g_main_loop_quit(loop_);
}

}  // namespace larkwend::gtk
