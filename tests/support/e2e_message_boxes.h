// SPDX-License-Identifier: GPL-3.0-or-later
// Finding and answering the program's windows in end-to-end tests: message boxes, dialogs, the
// browser's script boxes.
//
// A test script runs on the GUI thread. When the program shows a modal box or dialog, it runs a
// nested main loop until the box is answered, and whatever called into the program (a click
// from the script, a timer tick dispatched while the script pumps) only returns after that. So
// boxes are answered by *handlers* installed beforehand: a `WindowHandler` looks for its window
// from every main loop that runs, nested ones included, and acts on it there.
//
//   e2e::MessageBoxAnswerer boxes("提示", "确定");   // answers every box titled 提示
//   program.Click(IDC_AUTO_STUDY);                    // returns once the box is answered
//   EXPECT_EQ(boxes.Seen().at(0).text, "请先进入到 [书本学习] 页面。");
//
// All texts here are UTF-8, as GTK shows them.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <string>
#include <vector>

namespace larkwend::e2e {

// What a shown box or dialog says: its title, its texts (labels other than button labels, in
// widget order, joined by "\n"), its button labels (in widget order, with their access-key
// underscores) and the theme icons it shows (by name, in widget order).
struct WindowView {
  std::string title;
  std::string text;
  std::vector<std::string> buttons;
  std::vector<std::string> icons;
};

WindowView ViewOf(GtkWindow* window);

// The first visible top-level window titled exactly `title`, or null.
GtkWindow* FindWindowByTitle(const std::string& title);
// The first visible top-level window whose texts (ViewOf(...).text) contain `text`, or null.
GtkWindow* FindWindowByText(const std::string& text);
// Where `window` is on the screen, its frame included, in root-window pixels.
GdkRectangle ScreenRect(GtkWindow* window);
// Whether `inner` is centred on `outer`, to within a pixel or two of rounding.
bool CentredOn(const GdkRectangle& inner, const GdkRectangle& outer);

// A key pressed and released on `window`'s focus, as the keyboard sends it, e.g. GDK_KEY_Escape
// or a character's keyval, with modifiers such as GDK_MOD1_MASK (Alt) held.
void PressKey(GtkWindow* window, guint keyval, GdkModifierType modifiers = GdkModifierType(0));

// Clicks the button labelled `label` (mnemonic underscores ignored) in `window`; false when
// there is none.
bool PressButton(GtkWindow* window, const std::string& label);

// Runs `action` once for every window `match` accepts, as soon as it is visible, from whichever
// main loop runs then (every `intervalMs`). Stops when destroyed.
class WindowHandler {
 public:
  WindowHandler(std::function<bool(GtkWindow*)> match, std::function<void(GtkWindow*)> action,
                int intervalMs = 20);
  ~WindowHandler();
  WindowHandler(const WindowHandler&) = delete;
  WindowHandler& operator=(const WindowHandler&) = delete;

  int Handled() const { return handled_; }

 private:
  static gboolean Poll(gpointer self);

  std::function<bool(GtkWindow*)> match_;
  std::function<void(GtkWindow*)> action_;
  std::string key_;  // object data key that marks a window as handled by this handler
  guint source_ = 0;
  int handled_ = 0;
};

struct Key {
  guint keyval;
  GdkModifierType modifiers = GdkModifierType(0);
};

// Answers every box titled `title` with the button `button`, with the button `choose` names, or
// with the key `key`, and remembers what each box said and where it was.
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer(std::string title, std::string button);
  MessageBoxAnswerer(std::string title, std::function<std::string(const WindowView&)> choose);
  MessageBoxAnswerer(std::string title, Key key);

  // The boxes answered so far, in order.
  const std::vector<WindowView>& Seen() const { return seen_; }
  // Texts of the boxes answered so far.
  std::vector<std::string> Texts() const;
  // Where each of them was on the screen.
  const std::vector<GdkRectangle>& Places() const { return places_; }

 private:
  using Answer = std::function<void(GtkWindow*, const WindowView&)>;
  MessageBoxAnswerer(std::string title, Answer answer);

  std::vector<WindowView> seen_;
  std::vector<GdkRectangle> places_;
  Answer answer_;
  WindowHandler handler_;
};

}  // namespace larkwend::e2e
