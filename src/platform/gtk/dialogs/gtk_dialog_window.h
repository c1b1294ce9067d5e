// SPDX-License-Identifier: GPL-3.0-or-later
// A dialog window on GTK, built from a template: controls at their template rectangles (dialog
// units converted with the dialog font's base units), found by id, Tab moving through the tab
// stops in template order, Enter for the default push button, Escape and the close box for the
// cancel command, window timers on GLib timeouts.
//
// Every click, command and timer tick reaches the handler through HandlerGate, so none of them
// runs in the middle of a document-model call.
//
// The class's work is spread over files by job: gtk_dialog_window.cpp (building, size, the
// DialogWindow members), gtk_dialog_widgets.cpp, gtk_dialog_keys.cpp (keys and focus),
// gtk_dialog_clicks.cpp, gtk_dialog_timers.cpp and gtk_dialog_modal_loop.cpp.
#pragma once

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "platform/dialog.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/gtk/dialogs/dialog_font.h"
#include "platform/gtk/dialogs/double_click_filter.h"
#include "platform/gtk/web/webkit_browser_control.h"

namespace larkwend::gtk {

class GtkDialogWindow final : public DialogWindow {
 public:
  // Builds the window and its controls, hidden. `owner` (may be null) is disabled while it runs.
  GtkDialogWindow(const DialogTemplate& tmpl, DialogHandler& handler, GtkWindow* owner,
                  double timerScale);
  ~GtkDialogWindow() override;
  GtkDialogWindow(const GtkDialogWindow&) = delete;
  GtkDialogWindow& operator=(const GtkDialogWindow&) = delete;

  // Shows the window with the focus on the first tab-stop control (when `focusFirst`) and runs a
  // nested main loop until EndDialog; returns the result. Returns at once if it has ended already.
  int RunModalLoop(bool focusFirst);
  GtkWindow* gtkWindow() const { return window_; }
  std::vector<unsigned> RunningTimers() const;

  // DialogWindow.
  void SetTitle(const std::string& text) override;
  void SetIcon(int iconResource) override;
  std::string GetItemText(int id) override;
  void SetItemText(int id, const std::string& text) override;
  void AddComboItem(int id, const std::string& text) override;
  int GetComboSelection(int id) override;
  void SetComboSelection(int id, int index) override;
  PixelRect GetItemRect(int id) override;
  PixelRect GetClientRect() override;
  void SetItemSize(int id, int width, int height) override;
  void MoveItem(int id, int x, int y, int width, int height) override;
  bool GetCheck(int id) override;
  void SetCheck(int id, bool checked) override;
  void SetItemAccessibleName(int id, const std::string& text) override;
  BrowserControl* GetBrowserControl(int id) override;
  void SetTimer(unsigned id, unsigned periodMs) override;
  void KillTimer(unsigned id) override;
  int MessageBox(const std::string& text, const std::string& caption, unsigned type) override;
  void EndDialog(int result) override;
  void RequestAttention() override;

 private:
  struct Control {
    int id;
    ControlKind kind;
    unsigned styles;
    GtkWidget* placed;  // what sits in the layout
    GtkWidget* widget;  // what the control is: the entry, text view, combo box, button...
    PixelRect rect;
    int picture;  // the picture resource of a picture control
  };
  // Lets deferred handlers find out whether the window still exists.
  struct Token {
    GtkDialogWindow* window;
  };

  void Build(const DialogTemplate& tmpl);
  std::span<const unsigned char> PictureBytes(int resourceId, int scale) const;
  Control* Find(int id);
  const Control* Find(int id) const;
  GtkWidget* MakeWidget(const ControlTemplate& c, Control& control);
  // Draws a picture control's picture for the scale its widget is shown at now.
  void ShowPicture(const Control& control);
  // Ties each label to the control that follows it in the template, so that the control is
  // named by the label for assistive technologies.
  void LabelControls();
  void FocusFirstTabStop();
  void RegisterWindow();

  // Everything the handler hears goes through the gate.
  void Command(int id, int notifyCode = BN_CLICKED);
  void TimerTick(unsigned id);
  bool OnKeyPress(const GdkEventKey& key);
  void MoveFocus(const Control* from, bool backward);
  bool OnPictureButton(int id, const GdkEventButton& event);
  void OnLayoutAllocated(int width, int height);

  static gboolean KeyPressThunk(GtkWidget*, GdkEventKey* event, gpointer self);
  static gboolean DeleteThunk(GtkWidget*, GdkEvent*, gpointer self);
  static gboolean WindowStateThunk(GtkWidget*, GdkEventWindowState* event, gpointer self);
  static gboolean FocusInThunk(GtkWidget*, GdkEventFocus*, gpointer self);
  static void AllocateThunk(GtkWidget*, GdkRectangle* allocation, gpointer self);
  static void ClickedThunk(GtkButton* button, gpointer self);
  static void ComboChangedThunk(GtkComboBox* combo, gpointer self);
  static gboolean PictureButtonThunk(GtkWidget* widget, GdkEventButton* event, gpointer self);
  static void PictureScaleThunk(GtkWidget* widget, GParamSpec*, gpointer self);
  static gboolean TimerThunk(gpointer timer);

  DialogHandler& handler_;
  const double timerScale_;
  GtkWindow* window_;  // owned: destroyed with this object
  GtkWidget* layout_;
  const PictureLookup pictures_;
  std::string title_;              // UTF-8
  std::vector<Control> controls_;  // template order
  std::unique_ptr<WebKitBrowserControl> browser_;
  PixelRect initialClient_{};
  std::optional<std::pair<int, int>> lastSize_;
  GdkWindowState state_ = static_cast<GdkWindowState>(0);
  struct Timer {
    GtkDialogWindow* window;
    unsigned id;
    guint source;
  };
  std::map<unsigned, std::unique_ptr<Timer>> timers_;  // the GLib source's data is the Timer
  std::set<unsigned> ticksWaiting_;  // ticks held back by the gate, one per timer at most
  std::shared_ptr<Token> token_;
  GMainLoop* loop_ = nullptr;  // while RunModalLoop runs
  std::optional<int> result_;
  DoubleClickFilter doubleClicks_;  // for notifying pictures
};

}  // namespace larkwend::gtk
