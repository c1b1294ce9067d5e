// The main window on the real desktop: the program runs in this process against the practice
// site, and a script looks at the window and presses its keys.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>
#include <string>

#include "app/quillmoor_dlg.h"
#include "e2e_dialog_lookup.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "resources/templates.h"
#include "scoped_working_dir.h"

namespace larkwend::e2e {
namespace {

// Runs the program without its update check: these tests need no update service.
ProgramRun RunWithoutUpdateCheck(const Script& script, ProgramOptions options = {}) {
  options.updateCheck = [](Platform&, std::string&) { return 1; };
  return RunProgram(options, script);
}

// Closes every usage dialog that opens, noting the text it showed.
struct UsageDialogCloser {
  explicit UsageDialogCloser(Program& program)
      : handler([](GtkWindow* w) { return DialogTemplateIdOf(w) == IDD_USAGE; },
                [&program](GtkWindow* w) { program.PressKey(GDK_KEY_Escape, w); }) {}
  WindowHandler handler;
};

TEST(MainWindowOnTheDesktop, OpensOnThePortalLoginPageWithTheStoredCredentials) {
  PracticeSite site;  // with its update service, which has nothing newer
  ASSERT_TRUE(site.Ready()) << site.Error();
  fixtures::ScopedWorkingDir dir;
  std::ofstream("record.ini") << "[set]\nacount=Student01\npassword=pass123\n";
  ProgramOptions options;
  options.workingDirectory = dir.path();
  ProgramRun run = RunProgram(options, [](Program& program) {
    EXPECT_EQ(program.Title(), "Larkwend V3.1");
    EXPECT_EQ(program.Text(IDC_ACCOUNT), "Student01");
    EXPECT_EQ(program.Text(IDC_PASSWORD), "pass123");
    EXPECT_FALSE(gtk_entry_get_visibility(GTK_ENTRY(program.Control(IDC_PASSWORD))));
    EXPECT_EQ(program.ComboItems(IDC_LOGIN_TYPE), (std::vector<std::string>{"身份证", "用户名"}));
    EXPECT_EQ(program.ComboSelection(IDC_LOGIN_TYPE), 0);
    EXPECT_EQ(program.Text(IDC_LOGIN_TYPE), "身份证");
    // The first control in tab order, the browser, has the focus.
    EXPECT_EQ(program.FocusedControl(), IDC_BROWSER);
    // The built-in pictures reach the window: the banner shows, and the window has its icon.
    GtkWidget* banner = gtk_bin_get_child(GTK_BIN(program.Control(IDC_BANNER)));
    ASSERT_TRUE(GTK_IS_IMAGE(banner));
    EXPECT_EQ(gtk_image_get_storage_type(GTK_IMAGE(banner)), GTK_IMAGE_PIXBUF);
    GList* icons = gtk_window_get_icon_list(program.MainWindow());
    EXPECT_NE(icons, nullptr);
    g_list_free(icons);

    ASSERT_TRUE(program.WaitForPage(PracticeSite::PortalUrl("/login/")));
    EXPECT_EQ(program.EvaluateInPage("['txtUserName', 'txtPassword', 'sfyzNumber', 'btnLogin',"
                                     " 'btnLogin2'].every(id => document.getElementById(id))"),
              "true");
  });
  EXPECT_TRUE(run.mainWindowShown);
}

TEST(MainWindowOnTheDesktop, ResizingKeepsTheBrowsersCornerAndMargins) {
  RunWithoutUpdateCheck([](Program& program) {
    const GdkRectangle client = program.ClientRect();
    const GdkRectangle browser = program.ControlRect(IDC_BROWSER);
    // The browser fills the client area below the strip of controls, one unit from the right.
    EXPECT_EQ(browser.x, 0);
    EXPECT_GT(browser.y, program.ControlRect(IDC_USAGE).y + program.ControlRect(IDC_USAGE).height);
    const int rightMargin = client.width - browser.width;
    const int bottomMargin = client.height - browser.height;
    EXPECT_GT(rightMargin, 0);
    EXPECT_NEAR(bottomMargin, browser.y, 1);

    const GdkRectangle usage = program.ControlRect(IDC_USAGE);
    for (auto [width, height] : {std::pair{1250, 950}, {700, 420}, {client.width, client.height}}) {
      ASSERT_TRUE(program.Resize(width, height)) << width << " x " << height;
      const GdkRectangle after = program.ControlRect(IDC_BROWSER);
      EXPECT_EQ(after.x, browser.x);
      EXPECT_EQ(after.y, browser.y);
      EXPECT_EQ(width - after.width, rightMargin);
      EXPECT_EQ(height - after.height, bottomMargin);
      // The strip above does not move.
      EXPECT_EQ(program.ControlRect(IDC_USAGE).x, usage.x);
      EXPECT_EQ(program.ControlRect(IDC_USAGE).y, usage.y);
    }
  });
}

TEST(MainWindowOnTheDesktop, TabFollowsTheTemplateOrder) {
  RunWithoutUpdateCheck([](Program& program) {
    program.Focus(IDC_USAGE);
    ASSERT_EQ(program.FocusedControl(), IDC_USAGE);
    // The label, the two rules and the banner are no tab stops; after the combo box comes the
    // browser, the first control.
    for (int next : {IDC_ACCOUNT, IDC_PASSWORD, IDC_QUICK_LOGIN, IDC_PERSONAL_CENTER,
                     IDC_COURSE_LIST, IDC_AUTO_STUDY, IDC_LOGIN_TYPE, IDC_BROWSER}) {
      program.PressKey(GDK_KEY_Tab);
      EXPECT_EQ(program.FocusedControl(), next);
    }
  });
}

TEST(MainWindowOnTheDesktop, EnterInAnEditOrTheComboBoxPressesTheUsageButton) {
  RunWithoutUpdateCheck([](Program& program) {
    UsageDialogCloser closer(program);
    for (int control : {IDC_ACCOUNT, IDC_PASSWORD, IDC_LOGIN_TYPE}) {
      program.Focus(control);
      const int before = closer.handler.Handled();
      program.PressKey(GDK_KEY_Return);  // returns once the usage dialog is closed again
      EXPECT_EQ(closer.handler.Handled(), before + 1) << "from control " << control;
    }
    // On a push button, Enter presses that button: quick login has nothing to fill here.
    program.Focus(IDC_QUICK_LOGIN);
    program.PressKey(GDK_KEY_Return);
    EXPECT_EQ(closer.handler.Handled(), 3);
  });
}

TEST(MainWindowOnTheDesktop, EnterInTheUsageTextBreaksTheLineInsteadOfClosing) {
  RunWithoutUpdateCheck([](Program& program) {
    bool stayedOpen = false;
    WindowHandler usage([](GtkWindow* w) { return DialogTemplateIdOf(w) == IDD_USAGE; },
                        [&](GtkWindow* w) {
                          GtkWidget* edit = FindDialogControl(GTK_WIDGET(w), 1003);
                          ASSERT_TRUE(edit && GTK_IS_TEXT_VIEW(edit));
                          GtkTextBuffer* text = gtk_text_view_get_buffer(GTK_TEXT_VIEW(edit));
                          GtkTextIter end;
                          gtk_text_buffer_get_end_iter(text, &end);
                          gtk_text_buffer_place_cursor(text, &end);
                          const int lines = gtk_text_buffer_get_line_count(text);
                          program.PressKey(GDK_KEY_Return, w);
                          PumpFor(100);
                          stayedOpen = gtk_widget_get_visible(GTK_WIDGET(w));
                          EXPECT_EQ(gtk_text_buffer_get_line_count(text), lines + 1);
                          program.PressKey(GDK_KEY_Escape, w);
                        });
    program.Click(IDC_USAGE);
    EXPECT_EQ(usage.Handled(), 1);
    EXPECT_TRUE(stayedOpen);
  });
}

TEST(MainWindowOnTheDesktop, EscapeEndsTheProgram) {
  ProgramRun run =
      RunWithoutUpdateCheck([](Program& program) { program.PressKey(GDK_KEY_Escape); });
  EXPECT_TRUE(run.endedByProgram);
}

TEST(MainWindowOnTheDesktop, TheCloseBoxEndsTheProgram) {
  ProgramRun run =
      RunWithoutUpdateCheck([](Program& program) { gtk_window_close(program.MainWindow()); });
  EXPECT_TRUE(run.endedByProgram);
}

// Logging out sends SIGTERM: whatever dialog or box is open closes as its close box would, the
// main window after it, and the journal gets its last line.
TEST(MainWindowOnTheDesktop, SigtermClosesTheOpenDialogOrBoxAndEndsTheProgram) {
  struct Case {
    const char* what;
    int button;  // opens it
    std::function<bool(GtkWindow*)> isIt;
  };
  const Case cases[] = {
      {"usage dialog", IDC_USAGE, [](GtkWindow* w) { return DialogTemplateIdOf(w) == IDD_USAGE; }},
      {"message box", IDC_AUTO_STUDY, [](GtkWindow* w) { return ViewOf(w).title == "提示"; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fixtures::ScopedWorkingDir state;
    ProgramOptions options;
    options.stateHome = state.path();
    gtk::EndOnSignals endOnSignals;
    WindowHandler logout(c.isIt, [](GtkWindow*) { ::kill(::getpid(), SIGTERM); });
    bool closed = false;
    ProgramRun run = RunWithoutUpdateCheck(
        [&](Program& program) {
          program.Click(c.button);  // returns once it is closed
          closed = true;
        },
        options);
    EXPECT_EQ(logout.Handled(), 1);
    EXPECT_TRUE(closed);
    EXPECT_TRUE(run.endedByProgram);
    std::ifstream journal(state.path() / "larkwend/journal.log");
    std::string line, last;
    while (std::getline(journal, line)) last = line;
    EXPECT_EQ(last.substr(std::min<std::size_t>(20, last.size())), "program ended");
  }
}

}  // namespace
}  // namespace larkwend::e2e
