// SPDX-License-Identifier: GPL-3.0-or-later
// What a test script reads of the main window and does to it.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "e2e_dialog_lookup.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_program.h"
#include "platform/gtk/dialogs/gtk_dialog_tags.h"
#include "resources/templates.h"

namespace larkwend::e2e {
namespace {

constexpr int kBrowserId = 1000;

GtkWidget* Layout(GtkWindow* window) {
  return gtk_bin_get_child(GTK_BIN(window));
}

// The widget that sits in the layout for `widget` (a text view's scroller, or the widget).
GtkWidget* Placed(GtkWidget* layout, GtkWidget* widget) {
  while (widget && gtk_widget_get_parent(widget) != layout) widget = gtk_widget_get_parent(widget);
  return widget;
}

void SendButton(GtkWidget* widget, GdkEventType type, guint32 time) {
  GdkEvent* event = gdk_event_new(type);
  event->button.window = GDK_WINDOW(g_object_ref(gtk_widget_get_window(widget)));
  event->button.send_event = TRUE;
  event->button.time = time;
  event->button.x = event->button.y = event->button.x_root = event->button.y_root = 4;
  event->button.button = 1;
  GdkSeat* seat = gdk_display_get_default_seat(gtk_widget_get_display(widget));
  gdk_event_set_device(event, gdk_seat_get_pointer(seat));
  gtk_widget_event(widget, event);
  gdk_event_free(event);
}

// Results of page scripts that are still on their way, by request number.
struct Evaluation {
  bool done = false;
  std::optional<std::string> json;
};
std::map<int, std::shared_ptr<Evaluation>> g_evaluations;

void OnEvaluated(GObject* view, GAsyncResult* result, gpointer request) {
  auto it = g_evaluations.find(GPOINTER_TO_INT(request));
  JSCValue* value =
      webkit_web_view_evaluate_javascript_finish(WEBKIT_WEB_VIEW(view), result, nullptr);
  if (it == g_evaluations.end()) {
    if (value) g_object_unref(value);
    return;
  }
  if (value) {
    char* json = jsc_value_to_json(value, 0);
    it->second->json = json ? json : "null";
    g_free(json);
    g_object_unref(value);
  }
  it->second->done = true;
  g_evaluations.erase(it);
}

}  // namespace

std::string Program::Title() const {
  const char* title = gtk_window_get_title(window_);
  return title ? title : "";
}

GtkWidget* Program::Control(int id) const {
  return FindDialogControl(GTK_WIDGET(window_), id);
}

WebKitWebView* Program::Browser() const {
  GtkWidget* widget = Control(kBrowserId);
  return widget && WEBKIT_IS_WEB_VIEW(widget) ? WEBKIT_WEB_VIEW(widget) : nullptr;
}

GdkRectangle Program::ClientRect() const {
  GtkAllocation allocation;
  gtk_widget_get_allocation(Layout(window_), &allocation);
  return {0, 0, allocation.width, allocation.height};
}

GdkRectangle Program::ControlRect(int id) const {
  GtkWidget* layout = Layout(window_);
  GtkWidget* placed = Placed(layout, Control(id));
  if (!placed) return {0, 0, 0, 0};
  GtkAllocation allocation;
  gtk_widget_get_allocation(placed, &allocation);
  int x = 0, y = 0;
  gtk_widget_translate_coordinates(placed, layout, 0, 0, &x, &y);
  return {x, y, allocation.width, allocation.height};
}

bool Program::Resize(int width, int height, int timeoutMs) {
  gtk_window_resize(window_, width, height);
  if (!PumpUntil(
          [&] {
            GdkRectangle client = ClientRect();
            return client.width == width && client.height == height;
          },
          timeoutMs))
    return false;
  // The browser follows in the next layout pass, once the window has handled the new size.
  GtkWidget* browser = Control(kBrowserId);
  if (!browser) return true;
  return PumpUntil(
      [&] {
        int requestWidth = 0, requestHeight = 0;
        gtk_widget_get_size_request(browser, &requestWidth, &requestHeight);
        GdkRectangle rect = ControlRect(kBrowserId);
        return rect.width == requestWidth && rect.height == requestHeight;
      },
      timeoutMs);
}

std::string Program::Text(int id) const {
  GtkWidget* widget = Control(id);
  if (!widget) return {};
  if (GTK_IS_ENTRY(widget)) return gtk_entry_get_text(GTK_ENTRY(widget));
  if (GTK_IS_LABEL(widget)) return gtk_label_get_text(GTK_LABEL(widget));
  if (GTK_IS_BUTTON(widget)) return gtk_button_get_label(GTK_BUTTON(widget));
  if (GTK_IS_COMBO_BOX_TEXT(widget)) {
    std::unique_ptr<char, decltype(&g_free)> text(
        gtk_combo_box_text_get_active_text(GTK_COMBO_BOX_TEXT(widget)), g_free);
    return text ? text.get() : "";
  }
  if (GTK_IS_TEXT_VIEW(widget)) {
    GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget));
    GtkTextIter start, end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    std::unique_ptr<char, decltype(&g_free)> text(
        gtk_text_buffer_get_text(buffer, &start, &end, TRUE), g_free);
    return text.get();
  }
  return {};
}

void Program::SetText(int id, const std::string& text) {
  GtkWidget* widget = Control(id);
  if (widget && GTK_IS_ENTRY(widget)) gtk_entry_set_text(GTK_ENTRY(widget), text.c_str());
  if (widget && GTK_IS_TEXT_VIEW(widget))
    gtk_text_buffer_set_text(gtk_text_view_get_buffer(GTK_TEXT_VIEW(widget)), text.c_str(), -1);
}

std::vector<std::string> Program::ComboItems(int id) const {
  std::vector<std::string> items;
  GtkWidget* widget = Control(id);
  if (!widget || !GTK_IS_COMBO_BOX(widget)) return items;
  GtkTreeModel* model = gtk_combo_box_get_model(GTK_COMBO_BOX(widget));
  const int column = gtk_combo_box_get_entry_text_column(GTK_COMBO_BOX(widget));
  GtkTreeIter iter;
  for (gboolean more = gtk_tree_model_get_iter_first(model, &iter); more;
       more = gtk_tree_model_iter_next(model, &iter)) {
    char* text = nullptr;
    gtk_tree_model_get(model, &iter, column, &text, -1);
    items.emplace_back(text ? text : "");
    g_free(text);
  }
  return items;
}

int Program::ComboSelection(int id) const {
  GtkWidget* widget = Control(id);
  return widget && GTK_IS_COMBO_BOX(widget) ? gtk_combo_box_get_active(GTK_COMBO_BOX(widget)) : -1;
}

void Program::SelectComboItem(int id, int index) {
  GtkWidget* widget = Control(id);
  if (widget && GTK_IS_COMBO_BOX(widget)) gtk_combo_box_set_active(GTK_COMBO_BOX(widget), index);
}

int Program::FocusedControl() const {
  GtkWidget* focus = gtk_window_get_focus(window_);
  return focus ? gtk::DialogControlIdOf(focus) : -1;
}

void Program::Focus(int id) {
  if (GtkWidget* widget = Control(id)) gtk_widget_grab_focus(widget);
}

void Program::Click(int id) {
  GtkWidget* widget = Control(id);
  if (!widget) {
    ADD_FAILURE() << "no control " << id;
    return;
  }
  if (GTK_IS_BUTTON(widget)) {
    gtk_button_clicked(GTK_BUTTON(widget));
    return;
  }
  const guint32 time = static_cast<guint32>(g_get_monotonic_time() / 1000);
  SendButton(widget, GDK_BUTTON_PRESS, time);
  SendButton(widget, GDK_BUTTON_RELEASE, time + 1);
}

void Program::DoubleClick(int id) {
  GtkWidget* widget = Control(id);
  if (!widget) {
    ADD_FAILURE() << "no control " << id;
    return;
  }
  // The events a double-click brings: two presses close together, the second announced again
  // as a double press.
  const guint32 time = static_cast<guint32>(g_get_monotonic_time() / 1000);
  SendButton(widget, GDK_BUTTON_PRESS, time);
  SendButton(widget, GDK_BUTTON_RELEASE, time + 10);
  SendButton(widget, GDK_BUTTON_PRESS, time + 60);
  SendButton(widget, GDK_2BUTTON_PRESS, time + 60);
  SendButton(widget, GDK_BUTTON_RELEASE, time + 70);
}

void Program::PressKey(guint keyval, GtkWindow* window) {
  e2e::PressKey(window ? window : window_, keyval);
}

std::vector<unsigned> Program::RunningTimers() const {
  return RunningDialogTimers(window_);
}

std::string Program::BrowserUri() const {
  WebKitWebView* view = Browser();
  const char* uri = view ? webkit_web_view_get_uri(view) : nullptr;
  return uri ? uri : "";
}

bool Program::WaitForPage(const std::string& urlPrefix, int timeoutMs) {
  return PumpUntil(
      [&] {
        WebKitWebView* view = Browser();
        return view && BrowserUri().starts_with(urlPrefix) && !webkit_web_view_is_loading(view);
      },
      timeoutMs);
}

std::optional<std::string> Program::EvaluateInPage(const std::string& script, int timeoutMs) {
  WebKitWebView* view = Browser();
  if (!view) return std::nullopt;
  static int s_next = 0;
  const int request = ++s_next;
  auto evaluation = std::make_shared<Evaluation>();
  g_evaluations[request] = evaluation;
  webkit_web_view_evaluate_javascript(view, script.c_str(), -1, nullptr, nullptr, nullptr,
                                      OnEvaluated, GINT_TO_POINTER(request));
  PumpUntil([&] { return evaluation->done; }, timeoutMs);
  g_evaluations.erase(request);  // a late answer finds nobody waiting
  return evaluation->json;
}

}  // namespace larkwend::e2e
