// SPDX-License-Identifier: GPL-3.0-or-later
// Message boxes raised by page scripts: alert(), confirm() and prompt().
//
// The box is a window of the program's own, with the title and the one button of
// platform/script_message_box.h, as the original browser control showed them, and registered
// with the window registry so the alert dismisser can find and click it by those texts. The page
// waits until the box is closed. The box is shown without a blocking loop of its own: the main loop
// keeps running, so a document-model call that raised the alert (a click) keeps waiting while the
// box is shown and closed by a posted click.
#pragma once

#include <webkit2/webkit2.h>

#include <list>
#include <memory>

namespace larkwend::gtk {

class ScriptDialogs {
 public:
  ScriptDialogs();
  // Closes the boxes still open: their pages stop waiting.
  ~ScriptDialogs();
  ScriptDialogs(const ScriptDialogs&) = delete;
  ScriptDialogs& operator=(const ScriptDialogs&) = delete;

  // Handles a "script-dialog" request of `view`; true when it took the dialog over.
  bool Show(WebKitWebView* view, WebKitScriptDialog* dialog);

  // Boxes open in the whole process.
  static int OpenCount();

 private:
  struct Box;
  static void OnClicked(GtkWidget* button, gpointer box);
  static gboolean OnDelete(GtkWidget* window, GdkEvent* event, gpointer box);
  static void OnDestroyed(GtkWidget* window, gpointer box);
  // Answers the page and removes the box; `destroyWindow` is false when GTK is destroying it.
  void Finish(Box* box, bool destroyWindow);

  std::list<std::unique_ptr<Box>> boxes_;
};

}  // namespace larkwend::gtk
