// SPDX-License-Identifier: GPL-3.0-or-later
// Keys and focus in a dialog window: Tab through the tab stops in template order, Enter for the
// default push button, Escape for the cancel command.
#include "platform/gtk/dialogs/gtk_dialog_tags.h"
#include "platform/gtk/dialogs/gtk_dialog_window.h"

namespace larkwend::gtk {
namespace {

bool IsTab(guint keyval) {
  return keyval == GDK_KEY_Tab || keyval == GDK_KEY_KP_Tab || keyval == GDK_KEY_ISO_Left_Tab;
}

bool IsEnter(guint keyval) {
  return keyval == GDK_KEY_Return || keyval == GDK_KEY_KP_Enter || keyval == GDK_KEY_ISO_Enter;
}

}  // namespace

void GtkDialogWindow::FocusFirstTabStop() {
  for (const Control& control : controls_) {
    if (!(control.styles & kTabStop) || !(control.styles & kVisible)) continue;
    gtk_widget_grab_focus(control.widget);
    // An edit that receives the focus this way selects its whole text (an entry does so itself).
    if (GTK_IS_TEXT_VIEW(control.widget)) {
      GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(control.widget));
      GtkTextIter start, end;
      gtk_text_buffer_get_bounds(buffer, &start, &end);
      gtk_text_buffer_select_range(buffer, &start, &end);
    }
    return;
  }
}

bool GtkDialogWindow::OnKeyPress(const GdkEventKey& key) {
  if (key.keyval == GDK_KEY_Escape) {
    Command(IDCANCEL);
    return true;
  }
  GtkWidget* focus = gtk_window_get_focus(window_);
  const Control* focused = focus ? Find(DialogControlIdOf(focus)) : nullptr;
  if (IsTab(key.keyval)) {
    // Inside the browser, Tab moves through the page's own fields.
    if (focused && focused->kind == ControlKind::kBrowser) return false;
    const bool backward = key.keyval == GDK_KEY_ISO_Left_Tab || (key.state & GDK_SHIFT_MASK);
    MoveFocus(focused, backward);
    return true;
  }
  if (!IsEnter(key.keyval)) return false;
  // Enter in an edit or the combo box presses the default push button; a multi-line edit that
  // wants Enter keeps it, and buttons and the browser handle it themselves.
  if (!focused) return false;
  const bool takesEnter = focused->kind == ControlKind::kComboBox ||
                          (focused->kind == ControlKind::kEdit && !(focused->styles & kWantReturn));
  if (!takesEnter) return false;
  int defaultId = IDOK;
  for (const Control& control : controls_)
    if (control.kind == ControlKind::kPushButton && (control.styles & kDefaultButton))
      defaultId = control.id;
  Command(defaultId);
  return true;
}

void GtkDialogWindow::MoveFocus(const Control* from, bool backward) {
  // The next tab stop in template order, wrapping around, as the dialog manager moves it.
  const int count = static_cast<int>(controls_.size());
  const int start = from ? static_cast<int>(from - controls_.data()) : (backward ? 0 : count - 1);
  for (int step = 1; step <= count; ++step) {
    const int index = ((start + (backward ? -step : step)) % count + count) % count;
    const Control& control = controls_[static_cast<std::size_t>(index)];
    if ((control.styles & kTabStop) && gtk_widget_is_visible(control.widget) &&
        gtk_widget_is_sensitive(control.widget)) {
      gtk_widget_grab_focus(control.widget);
      return;
    }
  }
}

gboolean GtkDialogWindow::KeyPressThunk(GtkWidget*, GdkEventKey* event, gpointer self) {
  return static_cast<GtkDialogWindow*>(self)->OnKeyPress(*event);
}

}  // namespace larkwend::gtk
