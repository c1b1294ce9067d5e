// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/script_dialog.h"

#include <string>

#include "platform/gtk/common/window_registry.h"
#include "platform/script_message_box.h"

namespace larkwend::gtk {
namespace {

const std::string kTitle(script_message_box::kTitle);
const std::string kButton(script_message_box::kOkButton);

int g_open = 0;

}  // namespace

struct ScriptDialogs::Box {
  ScriptDialogs* owner;
  WebKitScriptDialog* dialog;  // one reference, given back when answered
  GtkWidget* window;
  GtkWidget* button;
};

ScriptDialogs::ScriptDialogs() = default;

int ScriptDialogs::OpenCount() {
  return g_open;
}

bool ScriptDialogs::Show(WebKitWebView* view, WebKitScriptDialog* dialog) {
  if (webkit_script_dialog_get_dialog_type(dialog) == WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM) {
    // The original control let pages go without asking.
    webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
    return true;
  }

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), kTitle.c_str());
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_type_hint(GTK_WINDOW(window), GDK_WINDOW_TYPE_HINT_DIALOG);
  GtkWidget* parent = gtk_widget_get_toplevel(GTK_WIDGET(view));
  if (GTK_IS_WINDOW(parent) && gtk_widget_is_toplevel(parent)) {
    gtk_window_set_transient_for(GTK_WINDOW(window), GTK_WINDOW(parent));
    gtk_window_set_modal(GTK_WINDOW(window), TRUE);
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER_ON_PARENT);
  } else {
    gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  }

  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 12);
  gtk_container_set_border_width(GTK_CONTAINER(box), 16);
  GtkWidget* label = gtk_label_new(webkit_script_dialog_get_message(dialog));
  gtk_label_set_line_wrap(GTK_LABEL(label), TRUE);
  gtk_label_set_max_width_chars(GTK_LABEL(label), 60);
  gtk_label_set_selectable(GTK_LABEL(label), TRUE);
  GtkWidget* button = gtk_button_new_with_label(kButton.c_str());
  gtk_widget_set_halign(button, GTK_ALIGN_CENTER);
  gtk_widget_set_size_request(button, 88, -1);
  gtk_box_pack_start(GTK_BOX(box), label, TRUE, TRUE, 0);
  gtk_box_pack_start(GTK_BOX(box), button, FALSE, FALSE, 0);
  gtk_container_add(GTK_CONTAINER(window), box);

  auto& entry = boxes_.emplace_back(
      std::make_unique<Box>(Box{this, webkit_script_dialog_ref(dialog), window, button}));
  ++g_open;
  g_signal_connect(button, "clicked", G_CALLBACK(OnClicked), entry.get());
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), entry.get());
  g_signal_connect(window, "destroy", G_CALLBACK(OnDestroyed), entry.get());

  WindowRegistry& registry = WindowRegistry::Instance();
  WindowId id = registry.RegisterWindow(window, kTitle);
  registry.RegisterChild(id, button, kButton);

  gtk_widget_set_can_default(button, TRUE);
  gtk_widget_show_all(window);
  gtk_widget_grab_default(button);
  gtk_widget_grab_focus(button);
  return true;
}

void ScriptDialogs::OnClicked(GtkWidget*, gpointer box) {
  auto* b = static_cast<Box*>(box);
  b->owner->Finish(b, true);
}

gboolean ScriptDialogs::OnDelete(GtkWidget*, GdkEvent*, gpointer box) {
  // The close box answers like the button.
  auto* b = static_cast<Box*>(box);
  b->owner->Finish(b, true);
  return TRUE;
}

void ScriptDialogs::OnDestroyed(GtkWidget*, gpointer box) {
  // Destroyed from outside (its parent went): the page must not wait for it forever.
  auto* b = static_cast<Box*>(box);
  b->owner->Finish(b, false);
}

void ScriptDialogs::Finish(Box* box, bool destroyWindow) {
  g_signal_handlers_disconnect_by_data(box->window, box);
  g_signal_handlers_disconnect_by_data(box->button, box);
  WebKitScriptDialog* dialog = box->dialog;
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      break;
    case WEBKIT_SCRIPT_DIALOG_PROMPT:
      webkit_script_dialog_prompt_set_text(dialog,
                                           webkit_script_dialog_prompt_get_default_text(dialog));
      break;
    default:
      break;
  }
  webkit_script_dialog_close(dialog);
  webkit_script_dialog_unref(dialog);
  --g_open;
  GtkWidget* window = box->window;
  boxes_.remove_if([box](const std::unique_ptr<Box>& b) { return b.get() == box; });
  if (destroyWindow) gtk_widget_destroy(window);
}

ScriptDialogs::~ScriptDialogs() {
  while (!boxes_.empty()) Finish(boxes_.front().get(), true);
}

}  // namespace larkwend::gtk
