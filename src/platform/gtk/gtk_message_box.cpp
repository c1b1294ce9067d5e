#include "platform/gtk/gtk_message_box.h"

#include <vector>

#include "platform/dialog.h"
#include "platform/gtk/gobject_ptr.h"
#include "platform/gtk/window_registry.h"
#include "platform/text.h"

namespace larkwend::gtk {
namespace {

GtkMessageType IconFor(unsigned type) {
  switch (type & 0xF0) {
    case MB_ICONERROR:
      return GTK_MESSAGE_ERROR;
    case MB_ICONQUESTION:
      return GTK_MESSAGE_QUESTION;
    case MB_ICONEXCLAMATION:
      return GTK_MESSAGE_WARNING;
    case MB_ICONINFORMATION:
      return GTK_MESSAGE_INFO;
    default:
      return GTK_MESSAGE_OTHER;
  }
}

struct Button {
  const char* label;  // UTF-8
  int result;
};

}  // namespace

int RunMessageBox(GtkWindow* owner, const std::string& text, const std::string& caption,
                  unsigned type) {
  const bool yesNo = (type & 0xF) == MB_YESNO;
  const std::vector<Button> buttons = yesNo ? std::vector<Button>{{"是", IDYES}, {"否", IDNO}}
                                            : std::vector<Button>{{"确定", IDOK}};
  const std::string title = GbkToUtf8(caption);

  // Kept alive by our own reference, so the box can be read after its owner destroyed it.
  auto box = GObjectPtr<GtkWidget>::Retain(gtk_message_dialog_new(
      owner, static_cast<GtkDialogFlags>(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      IconFor(type), GTK_BUTTONS_NONE, "%s", GbkToUtf8(text).c_str()));
  GtkDialog* dialog = GTK_DIALOG(box.get());
  gtk_window_set_title(GTK_WINDOW(dialog), title.c_str());
  WindowId id = WindowRegistry::Instance().RegisterWindow(box.get(), title);
  for (const Button& button : buttons)
    WindowRegistry::Instance().RegisterChild(
        id, gtk_dialog_add_button(dialog, button.label, button.result), button.label);
  gtk_dialog_set_default_response(dialog, buttons.front().result);
  // A Yes/No question has to be answered: no close box, and Escape does nothing.
  if (yesNo) gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);

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
