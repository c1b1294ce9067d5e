// SPDX-License-Identifier: GPL-3.0-or-later
// Clicks, a combo box's new selection and the close box as commands: what a dialog window's handler
// hears of them goes through the handler gate.
#include "platform/gtk/common/handler_gate.h"
#include "platform/gtk/dialogs/gtk_dialog_tags.h"
#include "platform/gtk/dialogs/gtk_dialog_window.h"

namespace larkwend::gtk {

void GtkDialogWindow::Command(int id, int notifyCode) {
  std::weak_ptr<Token> weak = token_;
  HandlerGate::RunOrDefer([weak, id, notifyCode] {
    if (std::shared_ptr<Token> token = weak.lock())
      token->window->handler_.OnCommand(id, notifyCode);
  });
}

void GtkDialogWindow::ClickedThunk(GtkButton* button, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->Command(DialogControlIdOf(GTK_WIDGET(button)));
}

void GtkDialogWindow::ComboChangedThunk(GtkComboBox* combo, gpointer self) {
  static_cast<GtkDialogWindow*>(self)->Command(DialogControlIdOf(GTK_WIDGET(combo)), CBN_SELCHANGE);
}

gboolean GtkDialogWindow::DeleteThunk(GtkWidget*, GdkEvent*, gpointer self) {
  // The close box is the cancel command; the handler decides whether the window ends.
  static_cast<GtkDialogWindow*>(self)->Command(IDCANCEL);
  return TRUE;
}

bool GtkDialogWindow::OnPictureButton(int id, const GdkEventButton& event) {
  if (event.type != GDK_BUTTON_PRESS || event.button != 1) return false;
  // The second press of a double-click is no click.
  if (!doubleClicks_.IsSecondOfDouble(GTK_WIDGET(window_), event)) Command(id);
  return true;
}

gboolean GtkDialogWindow::PictureButtonThunk(GtkWidget* widget, GdkEventButton* event,
                                             gpointer self) {
  return static_cast<GtkDialogWindow*>(self)->OnPictureButton(DialogControlIdOf(widget), *event);
}

}  // namespace larkwend::gtk
