// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own top-level windows and their buttons, readable from any thread.
//
// GTK may only be touched on the GUI thread, yet the alert dismisser looks for windows from its
// own thread. Windows therefore register their title and clickable children here when they are
// shown (GUI thread) and are forgotten when destroyed; look-ups read this table under a lock,
// and a click is posted to the GUI thread's main loop, where the id is looked up again so a
// window that has gone meanwhile is simply ignored. Only the program's own windows are here.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <mutex>
#include <string>

#include "platform/desktop_windows.h"

namespace larkwend::gtk {

class WindowRegistry : public DesktopWindows {
 public:
  static WindowRegistry& Instance();

  // GUI thread. Texts are UTF-8, as GTK shows them. Entries go away with their widgets.
  WindowId RegisterWindow(GtkWidget* toplevel, const std::string& title);
  WindowId RegisterChild(WindowId parent, GtkWidget* button, const std::string& text);

  // DesktopWindows: any thread. Texts are GBK.
  WindowId FindTopLevelWindow(const std::string& title) override;
  WindowId FindChildWindow(WindowId parent, const std::string& text) override;
  void PostClick(WindowId button) override;

 private:
  struct Entry {
    GtkWidget* widget;
    WindowId parent;   // 0 for a top-level window
    std::string text;  // GBK
  };
  static void OnDestroyed(GtkWidget* widget, gpointer id);
  void Forget(WindowId id);
  WindowId Add(GtkWidget* widget, WindowId parent, const std::string& text);
  static gboolean ClickOnGuiThread(gpointer id);

  std::mutex mutex_;
  std::map<WindowId, Entry> entries_;  // ordered by id: registration order
  WindowId next_ = 1;
};

}  // namespace larkwend::gtk
