// SPDX-License-Identifier: GPL-3.0-or-later
// Runs the real program in the test's own process, on the real GTK + WebKit platform, with a
// test script that drives it.
//
//   e2e::PracticeSite site;                       // when the test needs the sites
//   e2e::ProgramRun run = e2e::RunProgram({}, [&](e2e::Program& program) {
//     ASSERT_TRUE(program.WaitForPage(e2e::PracticeSite::PortalUrl("/login/")));
//     EXPECT_EQ(program.Title(), "Larkwend V3.1");
//     program.PressKey(GDK_KEY_Escape);           // the program ends when the script returns
//   });
//   EXPECT_TRUE(run.endedByProgram);
//
// RunProgram does what main() does (gtk_init once per process, then TheApp().InitInstance in
// the desktop application) and calls the script once the main window is shown, from the main
// window's own modal loop. The script runs on the GUI thread: it may touch GTK, and it lets the
// program work by pumping the main loop (e2e_harness.h: PumpUntil, PumpFor; or the Wait*
// helpers below). Clicks and keys are delivered at once, like real input; a modal box or dialog
// they open must be answered by a handler installed beforehand (e2e_message_boxes.h), because
// the call only returns once the box is closed.
//
// When the script returns, the harness ends the program if it still runs: it answers any open
// box or dialog and presses the main window's close box. A box or dialog that stays open longer
// than ProgramOptions::unansweredWindowMs while the script runs is a test failure; it is closed
// so that the test ends instead of hanging.
//
// Texts in and out are UTF-8, as GTK shows them.
#pragma once

#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "automation/study_run.h"
#include "platform/gtk/web/webkit_browser_control.h"
#include "platform/platform.h"

namespace larkwend::e2e {

struct ProgramOptions {
  // GtkPlatformOptions::timerScale: window timer periods are multiplied by it.
  double timerScale = 1.0;
  // How long the study run waits on a page that goes wrong (hung, failed, never ending, idle).
  StudyRunTimings studyRun;
  // The update gate that start-up runs; empty: the program's own check (the update service on
  // 127.0.0.1:19527 of the practice site, or a refused connection when it does not run).
  std::function<int(Platform&, std::string&)> updateCheck;
  // Working directory of the run, where ./record.ini lives; empty: a fresh temporary
  // directory, removed afterwards. The test's own working directory comes back either way.
  std::filesystem::path workingDirectory;
  // XDG_STATE_HOME of the run, where the study journal goes; empty: a "state" folder in the
  // run's working directory, so a test never writes into the machine's own journal.
  std::filesystem::path stateHome;
  // How long a box or dialog may stay open unanswered while the script runs.
  int unansweredWindowMs = 20000;
};

struct ProgramRun {
  bool mainWindowShown = false;  // the script ran
  // The main window had ended (Escape, the close box, a handler) before the harness closed it.
  bool endedByProgram = false;
  std::string workingDirectory;  // where the run took place (removed again if it was fresh)
};

class Program;
using Script = std::function<void(Program&)>;

ProgramRun RunProgram(const ProgramOptions& options, const Script& script);

// Kills (SIGKILL) the browser's web processes: the processes under this one that WebKit started
// to show pages. Answers how many there were.
int KillWebProcesses();
// Kills (SIGKILL) WebKit's network process under this one, and the cookies it holds with it, as
// WebKitGTK 2.52 crashes it. Answers how many there were.
int KillNetworkProcesses();

// What a script reaches of the running program. Control ids are the template's.
class Program {
 public:
  GtkWindow* MainWindow() const { return window_; }
  std::string Title() const;
  // The widget that is control `id` of the main window (the entry, text view, combo box,
  // button, picture's event box, label or the browser's web view), or null.
  GtkWidget* Control(int id) const;
  WebKitWebView* Browser() const;

  // Geometry as laid out now, in pixels: the client area, and a control's rectangle relative
  // to it.
  GdkRectangle ClientRect() const;
  GdkRectangle ControlRect(int id) const;
  // Asks for a new client size and pumps until it is laid out (false: not within the time).
  bool Resize(int width, int height, int timeoutMs = 5000);

  // Text of an edit, label, button or the combo box's selected item.
  std::string Text(int id) const;
  void SetText(int id, const std::string& text);
  std::vector<std::string> ComboItems(int id) const;
  int ComboSelection(int id) const;
  void SelectComboItem(int id, int index);

  // The control that has the focus in the main window, or -1.
  int FocusedControl() const;
  void Focus(int id);
  // A click on a button or picture; a double click sends the two presses of a double-click.
  void Click(int id);
  void DoubleClick(int id);
  // Presses and releases a key on `window`'s focus (default: the main window), e.g.
  // GDK_KEY_Escape, GDK_KEY_Return, GDK_KEY_Tab, or a character's keyval.
  void PressKey(guint keyval, GtkWindow* window = nullptr);

  // The ids of the main window's timers that are running now, in increasing order.
  std::vector<unsigned> RunningTimers() const;

  // The browser's current address.
  std::string BrowserUri() const;
  // Pumps until the browser has finished loading an address that starts with `urlPrefix`.
  bool WaitForPage(const std::string& urlPrefix, int timeoutMs = 15000);
  // Evaluates `script` in the page's own world and gives its value as JSON ("null" for
  // undefined), or nothing when it throws or does not answer in time.
  std::optional<std::string> EvaluateInPage(const std::string& script, int timeoutMs = 5000);

  // The harness makes one for the main window it found.
  explicit Program(GtkWindow* window) : window_(window) {}

 private:
  GtkWindow* window_;
};

}  // namespace larkwend::e2e
