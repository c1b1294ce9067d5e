// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/dialogs/gtk_message_box.h"

#include <gdk/gdkkeysyms.h>

#include <string>
#include <vector>

#include "platform/dialog.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/gtk/common/window_registry.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/text.h"

namespace larkwend::gtk {
namespace {

struct Look {
  GtkMessageType type;
  const char* iconName;  // null: no picture
};

Look LookFor(unsigned type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return {GTK_MESSAGE_ERROR, "dialog-error"};
    case MB_ICONQUESTION:
      return {GTK_MESSAGE_QUESTION, "dialog-question"};
    case MB_ICONEXCLAMATION:
      return {GTK_MESSAGE_WARNING, "dialog-warning"};
    case MB_ICONINFORMATION:
      return {GTK_MESSAGE_INFO, "dialog-information"};
    default:
      return {GTK_MESSAGE_OTHER, nullptr};
  }
}

struct Button {
  const char* label;  // UTF-8, with its access key after an underscore
  guint key;          // the key that answers with this button, with or without Alt
  int result;
};

const std::vector<Button> kYesNo{{"是(_Y)", GDK_KEY_y, IDYES}, {"否(_N)", GDK_KEY_n, IDNO}};
const std::vector<Button> kOk{{"确定", 0, IDOK}};

// GTK 3 message boxes keep their picture hidden unless one is given; the picture goes in front
// of the texts, where the box's own (hidden) image would sit.
void ShowPicture(GtkMessageDialog* box, const char* iconName) {
  if (!iconName) return;
  GtkWidget* texts = gtk_message_dialog_get_message_area(box);
  GtkWidget* row = gtk_widget_get_parent(texts);
  if (!GTK_IS_BOX(row)) return;
  GtkWidget* picture = gtk_image_new_from_icon_name(iconName, GTK_ICON_SIZE_DIALOG);
  gtk_widget_set_valign(picture, GTK_ALIGN_START);
  gtk_box_pack_start(GTK_BOX(row), picture, FALSE, FALSE, 0);
  gtk_box_reorder_child(GTK_BOX(row), picture, 0);
  gtk_widget_show(picture);
}

// Y and N answer a Yes/No box as its buttons' access keys do, also without Alt. Control and the
// other modifiers are left to GTK.
gboolean OnKeyPress(GtkWidget* widget, GdkEventKey* event, gpointer buttons) {
  const auto modifiers = event->state & gtk_accelerator_get_default_mod_mask();
  if (modifiers & ~GDK_MOD1_MASK) return FALSE;
  const guint key = gdk_keyval_to_lower(event->keyval);
  for (const Button& button : *static_cast<const std::vector<Button>*>(buttons)) {
    if (button.key == 0 || key != button.key) continue;
    gtk_dialog_response(GTK_DIALOG(widget), button.result);
    return TRUE;
  }
  return FALSE;
}

}  // namespace

int RunMessageBox(GtkWindow* owner, const std::string& text, const std::string& caption,
                  unsigned type) {
  const bool yesNo = (type & 0xF) == MB_YESNO;
  // Asked to end before it opened: as if opened and closed at once.
  if (EndAsked()) return yesNo ? IDNO : IDOK;
  const std::vector<Button>& buttons = yesNo ? kYesNo : kOk;
  const std::string title = GbkToUtf8(caption);
  const Look look = LookFor(type);

  // Kept alive by our own reference, so the box can be read after its owner destroyed it.
  auto box = GObjectPtr<GtkWidget>::Retain(gtk_message_dialog_new(
      owner, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      look.type, GTK_BUTTONS_NONE, "%s", GbkToUtf8(text).c_str()));
  GtkDialog* dialog = GTK_DIALOG(box.get());
  GtkWindow* window = GTK_WINDOW(box.get());
  gtk_window_set_title(window, title.c_str());
  gtk_window_set_position(window, owner ? GTK_WIN_POS_CENTER_ON_PARENT : GTK_WIN_POS_CENTER);
  ShowPicture(GTK_MESSAGE_DIALOG(box.get()), look.iconName);
  WindowId id = WindowRegistry::Instance().RegisterWindow(box.get(), title);
  for (const Button& button : buttons) {
    GtkWidget* widget = gtk_dialog_add_button(dialog, button.label, button.result);
    std::string shown = button.label;
    std::erase(shown, '_');
    WindowRegistry::Instance().RegisterChild(id, widget, shown);
  }
  // The first button is the default one: Enter presses it, and it has the focus.
  gtk_dialog_set_default_response(dialog, buttons.front().result);
  gtk_widget_grab_focus(gtk_dialog_get_widget_for_response(dialog, buttons.front().result));
  g_signal_connect(box.get(), "key-press-event", G_CALLBACK(OnKeyPress),
                   const_cast<std::vector<Button>*>(&buttons));
  // A Yes/No question has to be answered: no close box, and Escape does nothing.
  if (yesNo) gtk_window_set_deletable(window, FALSE);

  // The program asked to end answers the box as closing it would; a question, with No.
  ModalLoopCloser closer([dialog, yesNo] { gtk_dialog_response(dialog, yesNo ? IDNO : IDOK); });
  int response;
  for (;;) {
    response = gtk_dialog_run(dialog);
    bool closed = response == GTK_RESPONSE_DELETE_EVENT;
    if (!(yesNo && closed && gtk_widget_get_visible(box.get()))) break;
  }
  gtk_widget_destroy(box.get());
  for (const Button& button : buttons)
    if (response == button.result) return response;
  // Closed (Escape, the close box) or destroyed with its owner.
  return yesNo ? IDNO : IDOK;
}

}  // namespace larkwend::gtk
