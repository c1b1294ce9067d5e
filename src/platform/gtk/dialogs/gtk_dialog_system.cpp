// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/gtk_dialog_system.h"

#include <gtk/gtk.h>

#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/gtk/dialogs/gtk_dialog_window.h"
#include "platform/gtk/dialogs/gtk_message_box.h"

namespace larkwend::gtk {

int GtkDialogSystem::RunModal(const DialogTemplate& tmpl, DialogHandler& handler) {
  // Asked to end before it was built: as if opened and closed at once.
  if (EndAsked()) return IDCANCEL;
  GtkWindow* owner = running_.empty() ? nullptr : running_.back()->gtkWindow();
  GtkDialogWindow window(tmpl, handler, owner, timerScale_);
  running_.push_back(&window);
  handler.AttachWindow(&window);
  const bool focusFirst = handler.OnInitDialog();
  const int result = window.RunModalLoop(focusFirst);
  // The handler lets go of the window (and of its browser) before the window is destroyed.
  handler.AttachWindow(nullptr);
  running_.pop_back();
  return result;
}

int GtkDialogSystem::MessageBox(const std::string& text, const std::string& caption,
                                unsigned type) {
  return RunMessageBox(nullptr, text, caption, type);
}

bool GtkDialogSystem::PresentWindows() {
  if (running_.empty()) return false;
  gtk_window_present(running_.front()->gtkWindow());
  if (running_.size() > 1) gtk_window_present(running_.back()->gtkWindow());
  return true;
}

void GtkDialogSystem::Beep(unsigned) {
  // The display has one bell, whatever the message type.
  if (GdkDisplay* display = gdk_display_get_default()) gdk_display_beep(display);
}

}  // namespace larkwend::gtk
