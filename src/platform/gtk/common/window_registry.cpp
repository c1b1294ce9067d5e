// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/common/window_registry.h"

#include "platform/text.h"

namespace larkwend::gtk {

WindowRegistry& WindowRegistry::Instance() {
  static WindowRegistry registry;
  return registry;
}

WindowId WindowRegistry::Add(GtkWidget* widget, WindowId parent, const std::string& text) {
  WindowId id;
  {
    std::lock_guard lock(mutex_);
    id = next_++;
    entries_[id] = {widget, parent, Utf8ToGbk(text)};
  }
  g_signal_connect(widget, "destroy", G_CALLBACK(OnDestroyed),
                   GSIZE_TO_POINTER(static_cast<gsize>(id)));
  return id;
}

WindowId WindowRegistry::RegisterWindow(GtkWidget* toplevel, const std::string& title) {
  return Add(toplevel, 0, title);
}

WindowId WindowRegistry::RegisterChild(WindowId parent, GtkWidget* button,
                                       const std::string& text) {
  return Add(button, parent, text);
}

void WindowRegistry::OnDestroyed(GtkWidget*, gpointer id) {
  Instance().Forget(static_cast<WindowId>(GPOINTER_TO_SIZE(id)));
}

void WindowRegistry::Forget(WindowId id) {
  std::lock_guard lock(mutex_);
  entries_.erase(id);
  std::erase_if(entries_, [id](const auto& entry) { return entry.second.parent == id; });
}

WindowId WindowRegistry::FindTopLevelWindow(const std::string& title) {
  std::lock_guard lock(mutex_);
  for (const auto& [id, entry] : entries_)
    if (entry.parent == 0 && entry.text == title) return id;
  return 0;
}

WindowId WindowRegistry::FindChildWindow(WindowId parent, const std::string& text) {
  std::lock_guard lock(mutex_);
  for (const auto& [id, entry] : entries_)
    if (parent != 0 && entry.parent == parent && entry.text == text) return id;
  return 0;
}

void WindowRegistry::PostClick(WindowId button) {
  // g_idle_add is safe from any thread and never waits for the GUI thread.
  g_idle_add(ClickOnGuiThread, GSIZE_TO_POINTER(static_cast<gsize>(button)));
}

gboolean WindowRegistry::ClickOnGuiThread(gpointer id) {
  WindowRegistry& self = Instance();
  GtkWidget* widget = nullptr;
  {
    std::lock_guard lock(self.mutex_);
    auto it = self.entries_.find(static_cast<WindowId>(GPOINTER_TO_SIZE(id)));
    if (it != self.entries_.end()) widget = it->second.widget;
  }
  if (widget && GTK_IS_BUTTON(widget)) gtk_button_clicked(GTK_BUTTON(widget));
  return G_SOURCE_REMOVE;
}

}  // namespace larkwend::gtk
