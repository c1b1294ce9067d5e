// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_message_boxes.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <cstdlib>

namespace larkwend::e2e {
namespace {

std::vector<GtkWindow*> VisibleToplevels() {
  std::vector<GtkWindow*> windows;
  GList* list = gtk_window_list_toplevels();
  for (GList* item = list; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    if (gtk_widget_get_visible(GTK_WIDGET(window))) windows.push_back(window);
  }
  g_list_free(list);
  return windows;
}

// Labels and buttons in widget order; a button's own label is not counted as text.
void Collect(GtkWidget* widget, WindowView& view, bool insideButton) {
  if (GTK_IS_BUTTON(widget)) {
    const char* label = gtk_button_get_label(GTK_BUTTON(widget));
    if (label) view.buttons.emplace_back(label);
    insideButton = true;
  } else if (GTK_IS_LABEL(widget) && !insideButton && gtk_widget_get_visible(widget)) {
    const char* text = gtk_label_get_text(GTK_LABEL(widget));
    if (text && *text) view.text += (view.text.empty() ? "" : "\n") + std::string(text);
  } else if (GTK_IS_IMAGE(widget) && gtk_widget_get_visible(widget) &&
             gtk_image_get_storage_type(GTK_IMAGE(widget)) == GTK_IMAGE_ICON_NAME) {
    const char* name = nullptr;
    gtk_image_get_icon_name(GTK_IMAGE(widget), &name, nullptr);
    if (name) view.icons.emplace_back(name);
  }
  if (!GTK_IS_CONTAINER(widget)) return;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* child = children; child; child = child->next)
    Collect(GTK_WIDGET(child->data), view, insideButton);
  g_list_free(children);
}

std::string WithoutUnderscores(std::string text) {
  std::erase(text, '_');
  return text;
}

GtkButton* FindButton(GtkWidget* widget, const std::string& label) {
  if (GTK_IS_BUTTON(widget)) {
    const char* own = gtk_button_get_label(GTK_BUTTON(widget));
    if (own && WithoutUnderscores(own) == WithoutUnderscores(label)) return GTK_BUTTON(widget);
  }
  if (!GTK_IS_CONTAINER(widget)) return nullptr;
  GtkButton* found = nullptr;
  GList* children = gtk_container_get_children(GTK_CONTAINER(widget));
  for (GList* child = children; child && !found; child = child->next)
    found = FindButton(GTK_WIDGET(child->data), label);
  g_list_free(children);
  return found;
}

}  // namespace

WindowView ViewOf(GtkWindow* window) {
  WindowView view;
  if (const char* title = gtk_window_get_title(window)) view.title = title;
  Collect(GTK_WIDGET(window), view, false);
  return view;
}

GtkWindow* FindWindowByTitle(const std::string& title) {
  for (GtkWindow* window : VisibleToplevels()) {
    const char* own = gtk_window_get_title(window);
    if (own && title == own) return window;
  }
  return nullptr;
}

GtkWindow* FindWindowByText(const std::string& text) {
  for (GtkWindow* window : VisibleToplevels())
    if (ViewOf(window).text.find(text) != std::string::npos) return window;
  return nullptr;
}

GdkRectangle ScreenRect(GtkWindow* window) {
  GdkRectangle rect{};
  if (GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window)))
    gdk_window_get_frame_extents(gdkWindow, &rect);
  return rect;
}

bool CentredOn(const GdkRectangle& inner, const GdkRectangle& outer) {
  const int dx = 2 * inner.x + inner.width - (2 * outer.x + outer.width);
  const int dy = 2 * inner.y + inner.height - (2 * outer.y + outer.height);
  return std::abs(dx) <= 4 && std::abs(dy) <= 4;
}

void PressKey(GtkWindow* window, guint keyval, GdkModifierType modifiers) {
  GdkWindow* gdkWindow = gtk_widget_get_window(GTK_WIDGET(window));
  GdkDisplay* display = gtk_widget_get_display(GTK_WIDGET(window));
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), keyval, &keys, &count);
  for (GdkEventType type : {GDK_KEY_PRESS, GDK_KEY_RELEASE}) {
    GdkEvent* event = gdk_event_new(type);
    event->key.window = GDK_WINDOW(g_object_ref(gdkWindow));
    event->key.send_event = TRUE;
    event->key.time = GDK_CURRENT_TIME;
    event->key.keyval = keyval;
    event->key.state = modifiers;
    if (count > 0) {
      event->key.hardware_keycode = static_cast<guint16>(keys[0].keycode);
      event->key.group = static_cast<guint8>(keys[0].group);
    }
    gdk_event_set_device(event, gdk_seat_get_keyboard(gdk_display_get_default_seat(display)));
    gtk_main_do_event(event);
    gdk_event_free(event);
  }
  g_free(keys);
}

bool PressButton(GtkWindow* window, const std::string& label) {
  GtkButton* button = FindButton(GTK_WIDGET(window), label);
  if (!button) return false;
  gtk_button_clicked(button);
  return true;
}

// ---- handlers ------------------------------------------------------------------------------

WindowHandler::WindowHandler(std::function<bool(GtkWindow*)> match,
                             std::function<void(GtkWindow*)> action, int intervalMs)
    : match_(std::move(match)), action_(std::move(action)) {
  static int s_next = 0;
  key_ = "larkwend-e2e-handled-" + std::to_string(++s_next);
  source_ = g_timeout_add(static_cast<guint>(intervalMs), Poll, this);
}

WindowHandler::~WindowHandler() {
  g_source_remove(source_);
}

gboolean WindowHandler::Poll(gpointer data) {
  auto* self = static_cast<WindowHandler*>(data);
  for (GtkWindow* window : VisibleToplevels()) {
    if (g_object_get_data(G_OBJECT(window), self->key_.c_str()) || !self->match_(window)) continue;
    // Marked on the window itself, so the mark goes with it.
    g_object_set_data(G_OBJECT(window), self->key_.c_str(), GINT_TO_POINTER(1));
    ++self->handled_;
    self->action_(window);
    break;  // the action may have changed the list of windows
  }
  return G_SOURCE_CONTINUE;
}

MessageBoxAnswerer::MessageBoxAnswerer(std::string title, std::string button)
    : MessageBoxAnswerer(std::move(title), [button](const WindowView&) { return button; }) {}

MessageBoxAnswerer::MessageBoxAnswerer(std::string title,
                                       std::function<std::string(const WindowView&)> choose)
    : MessageBoxAnswerer(std::move(title),
                         Answer([choose](GtkWindow* window, const WindowView& view) {
                           const std::string button = choose(view);
                           EXPECT_TRUE(PressButton(window, button))
                               << "no button \"" << button << "\" in \"" << view.title << "\"";
                         })) {}

MessageBoxAnswerer::MessageBoxAnswerer(std::string title, Key key)
    : MessageBoxAnswerer(std::move(title), Answer([key](GtkWindow* window, const WindowView&) {
                           PressKey(window, key.keyval, key.modifiers);
                         })) {}

MessageBoxAnswerer::MessageBoxAnswerer(std::string title, Answer answer)
    : answer_(std::move(answer)),
      handler_(
          [title](GtkWindow* window) {
            const char* own = gtk_window_get_title(window);
            return own && title == own;
          },
          [this](GtkWindow* window) {
            seen_.push_back(ViewOf(window));
            places_.push_back(ScreenRect(window));
            answer_(window, seen_.back());
          }) {}

std::vector<std::string> MessageBoxAnswerer::Texts() const {
  std::vector<std::string> texts;
  for (const WindowView& view : seen_) texts.push_back(view.text);
  return texts;
}

}  // namespace larkwend::e2e
