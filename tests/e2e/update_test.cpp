// SPDX-License-Identifier: GPL-3.0-or-later
// The update gate of the real program at start, against the practice site's update service, and
// an end of the program asked while the gate holds it.
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "app/quillmoor_app.h"
#include "app/quillmoor_dlg.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "platform/gtk/dialogs/end_on_signals.h"
#include "platform/gtk/gtk_platform.h"
#include "scoped_working_dir.h"
#include "stand_in_browser.h"

namespace larkwend {
namespace {

// Before anything asks GIO for applications: a download offer accepted must not reach a real
// browser.
e2e::StandInBrowser g_browser;

const std::string kLink = e2e::PracticeSite::PortalUrl("/download/larkwend-setup.zip");

std::vector<std::string> Options(const std::string& version) {
  return {"--update-version", version, "--update-link", kLink};
}

// Runs start-up the way main() does, for the starts that must end before the main window: any
// main window that does appear is counted and closed.
int MainWindowsOfAStoppedStart() {
  static const bool s_gtkReady = gtk_init_check(nullptr, nullptr);
  if (!s_gtkReady) {
    ADD_FAILURE() << "GTK cannot start: is there a display?";
    return -1;
  }
  e2e::WindowHandler mainWindows(
      [](GtkWindow* w) { return e2e::ViewOf(w).title.rfind("Larkwend V", 0) == 0; },
      [](GtkWindow* w) { gtk_window_close(w); });
  TheApp().m_strDownloadUrl.clear();
  TheApp().m_updateCheck = nullptr;
  {
    gtk::GtkPlatform platform;
    TheApp().InitInstance(platform.platform());
  }
  return mainWindows.Handled();
}

// Where the D-Bus started browser lives; set in the program's own process, started again under a
// session bus of its own.
constexpr const char* kDbusHomeVariable = "LARKWEND_E2E_DBUS_BROWSER_HOME";

// A home with one browser, the default for links, that the desktop starts over D-Bus: its
// desktop entry says so, and the session bus knows its service. It writes what it opens to
// `record()`.
class DbusBrowserHome {
 public:
  static constexpr const char* kName = "org.larkwend.StandInBrowser";

  DbusBrowserHome() {
    namespace fs = std::filesystem;
    char pattern[] = "/tmp/larkwend-dbus-browser-XXXXXX";
    root_ = mkdtemp(pattern);
    fs::create_directories(root_ / "data/applications");
    fs::create_directories(root_ / "data/dbus-1/services");
    fs::create_directories(root_ / "config");
    const std::string start = std::string(LARKWEND_DBUS_STAND_IN_BIN) + " " + record().string();
    std::ofstream(root_ / "data/applications" / (std::string(kName) + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=Stand-in browser\nNoDisplay=true\n"
        << "DBusActivatable=true\nExec=" << start << " %u\n"
        << "MimeType=text/html;x-scheme-handler/http;x-scheme-handler/https;\n";
    std::ofstream(root_ / "data/dbus-1/services" / (std::string(kName) + ".service"))
        << "[D-BUS Service]\nName=" << kName << "\nExec=" << start << "\n";
    const std::string entry = std::string(kName) + ".desktop";
    const std::string defaults = "[Default Applications]\ntext/html=" + entry +
                                 "\nx-scheme-handler/http=" + entry +
                                 "\nx-scheme-handler/https=" + entry + "\n";
    std::ofstream(root_ / "config/mimeapps.list") << defaults;
    std::ofstream(root_ / "data/applications/mimeapps.list") << defaults;
  }
  ~DbusBrowserHome() { std::filesystem::remove_all(root_); }
  DbusBrowserHome(const DbusBrowserHome&) = delete;
  DbusBrowserHome& operator=(const DbusBrowserHome&) = delete;

  const std::filesystem::path& root() const { return root_; }
  std::filesystem::path record() const { return root_ / "opened.txt"; }
  // Points this process's desktop at the home; before GIO first looks for applications.
  static void Use(const std::filesystem::path& root) {
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
  }

 private:
  std::filesystem::path root_;
};

class UpdateGateAtStart : public ::testing::Test {
 protected:
  void SetUp() override { g_browser.ForgetCalls(); }
};

TEST_F(UpdateGateAtStart, NothingNewerOpensTheMainWindowAndTheBannerOpensTheLink) {
  e2e::PracticeSite site(Options("301"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  e2e::MessageBoxAnswerer boxes("Larkwend", "否(N)");
  std::string storedLink;
  const e2e::ProgramRun run = e2e::RunProgram({}, [&](e2e::Program& program) {
    storedLink = TheApp().m_strDownloadUrl;
    program.Click(IDC_BANNER);
    g_browser.WaitForCalls(1);
  });
  EXPECT_TRUE(run.mainWindowShown);
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_EQ(storedLink, kLink);
  auto calls = g_browser.Calls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].args, std::vector<std::string>{kLink});
  // One connection carrying the 56-byte request.
  EXPECT_EQ(site.UpdateRequests(),
            std::vector<std::string>{"76" + std::string(94, '0') + "ae0800009f2c0000"});
}

// The question as the desktop's users know it: its own icon, buttons that carry their keys,
// and centred on the screen, since no window of the program exists yet.
void ExpectTheQuestionBox(const e2e::MessageBoxAnswerer& boxes) {
  ASSERT_EQ(boxes.Seen().size(), 1u);
  EXPECT_EQ(boxes.Seen()[0].icons, std::vector<std::string>{"dialog-question"});
  EXPECT_EQ(boxes.Seen()[0].buttons, (std::vector<std::string>{"是(_Y)", "否(_N)"}));
  GdkRectangle screen{};
  gdk_monitor_get_geometry(gdk_display_get_primary_monitor(gdk_display_get_default()), &screen);
  EXPECT_TRUE(e2e::CentredOn(boxes.Places()[0], screen));
}

void ExpectTheLinkOpened() {
  auto calls = g_browser.WaitForCalls(1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].who, "browser");
  EXPECT_EQ(calls[0].args, std::vector<std::string>{kLink});
}

TEST_F(UpdateGateAtStart, ANewerMinorVersionDeclinedWithTheNKeyOpensTheMainWindow) {
  e2e::PracticeSite site(Options("302"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  e2e::MessageBoxAnswerer boxes("Larkwend", e2e::Key{GDK_KEY_n});
  const e2e::ProgramRun run = e2e::RunProgram({}, [&](e2e::Program&) {});
  EXPECT_TRUE(run.mainWindowShown);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"下载最新版本V3.2？"});
  ExpectTheQuestionBox(boxes);
  EXPECT_TRUE(g_browser.Calls().empty());
}

TEST_F(UpdateGateAtStart, ANewerMajorVersionDeclinedWithAltNEndsWithoutAMainWindow) {
  e2e::PracticeSite site(Options("400"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  e2e::MessageBoxAnswerer boxes("Larkwend", e2e::Key{GDK_KEY_n, GDK_MOD1_MASK});
  EXPECT_EQ(MainWindowsOfAStoppedStart(), 0);
  EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"V3版本已不适用，下载最新版本？"});
  EXPECT_TRUE(g_browser.Calls().empty());
}

TEST_F(UpdateGateAtStart, AnAcceptedDownloadOpensTheLinkAndEndsWithoutAMainWindow) {
  e2e::PracticeSite site(Options("302"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  for (const e2e::Key key : {e2e::Key{GDK_KEY_y}, e2e::Key{GDK_KEY_Y, GDK_MOD1_MASK}}) {
    SCOPED_TRACE(gdk_keyval_name(key.keyval));
    g_browser.ForgetCalls();
    e2e::MessageBoxAnswerer boxes("Larkwend", key);
    EXPECT_EQ(MainWindowsOfAStoppedStart(), 0);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"下载最新版本V3.2？"});
    ExpectTheLinkOpened();
  }
}

TEST_F(UpdateGateAtStart, EscapeLeavesTheQuestionOpenAndEnterAcceptsTheDownload) {
  e2e::PracticeSite site(Options("302"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  auto isTheQuestion = [](GtkWindow* w) { return e2e::ViewOf(w).title == "Larkwend"; };
  e2e::WindowHandler escape(isTheQuestion, [](GtkWindow* w) { e2e::PressKey(w, GDK_KEY_Escape); });
  // The same box, still there after Escape.
  e2e::WindowHandler enter([&](GtkWindow* w) { return escape.Handled() == 1 && isTheQuestion(w); },
                           [](GtkWindow* w) { e2e::PressKey(w, GDK_KEY_Return); });
  EXPECT_EQ(MainWindowsOfAStoppedStart(), 0);
  EXPECT_EQ(escape.Handled(), 1);
  EXPECT_EQ(enter.Handled(), 1);
  ExpectTheLinkOpened();
}

// The program runs in a process of its own, on a session bus of its own that ends with it: the
// link must have reached the browser before the program ended.
TEST_F(UpdateGateAtStart, AnAcceptedDownloadReachesABrowserTheSessionBusStarts) {
  if (const char* home = std::getenv(kDbusHomeVariable)) {
    DbusBrowserHome::Use(home);
    e2e::MessageBoxAnswerer boxes("Larkwend", e2e::Key{GDK_KEY_y});
    // Whatever goes wrong, this process ends and the test above it with it.
    g_timeout_add_seconds(
        30, [](gpointer) -> gboolean { std::_Exit(3); }, nullptr);
    const bool ended = MainWindowsOfAStoppedStart() == 0 &&
                       boxes.Texts() == std::vector<std::string>{"下载最新版本V3.2？"};
    // As the program does, the process ends right after start-up has: the bus goes with it.
    std::_Exit(ended ? 0 : 1);
  }
  e2e::PracticeSite site(Options("302"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  DbusBrowserHome home;
  const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
  const std::string filter =
      "--gtest_filter=UpdateGateAtStart.AnAcceptedDownloadReachesABrowserTheSessionBusStarts";
  gchar* argv[] = {const_cast<gchar*>("dbus-run-session"), const_cast<gchar*>("--"),
                   const_cast<gchar*>(self.c_str()), const_cast<gchar*>(filter.c_str()), nullptr};
  gchar** env = g_get_environ();
  env = g_environ_setenv(env, kDbusHomeVariable, home.root().c_str(), TRUE);
  // The bus looks for its services under the data home it starts with.
  env = g_environ_setenv(env, "XDG_DATA_HOME", (home.root() / "data").c_str(), TRUE);
  gint status = 0;
  GError* error = nullptr;
  const bool ran = g_spawn_sync(nullptr, argv, env, G_SPAWN_SEARCH_PATH, nullptr, nullptr, nullptr,
                                nullptr, &status, &error);
  g_strfreev(env);
  ASSERT_TRUE(ran) << (error ? error->message : "");
  EXPECT_TRUE(g_spawn_check_wait_status(status, nullptr)) << "the run under its own bus failed";
  std::ifstream in(home.record());
  std::stringstream opened;
  opened << in.rdbuf();
  EXPECT_EQ(opened.str(), kLink + "\n");
}

// A start whose journal goes to a folder of the test's own, with the program's handling of the
// end signals in place, as main() has it.
class EndAskedAtStart : public UpdateGateAtStart {
 protected:
  void SetUp() override {
    UpdateGateAtStart::SetUp();
    if (const char* state = std::getenv("XDG_STATE_HOME")) previousState_ = state;
    ::setenv("XDG_STATE_HOME", (dir_.path() / "state").c_str(), 1);
  }
  void TearDown() override {
    if (previousState_)
      ::setenv("XDG_STATE_HOME", previousState_->c_str(), 1);
    else
      ::unsetenv("XDG_STATE_HOME");
  }

  std::vector<std::string> JournalEvents() const {
    std::ifstream in(dir_.path() / "state/larkwend/journal.log");
    std::vector<std::string> events;
    for (std::string line; std::getline(in, line);) events.push_back(line.substr(20));
    return events;
  }

  gtk::EndOnSignals endOnSignals_;

 private:
  fixtures::ScopedWorkingDir dir_;
  std::optional<std::string> previousState_;
};

TEST_F(EndAskedAtStart, WhileTheQuestionIsOpenItIsAnsweredNoAndNoMainWindowOpens) {
  e2e::PracticeSite site(Options("302"));
  ASSERT_TRUE(site.Ready()) << site.Error();
  e2e::WindowHandler logout([](GtkWindow* w) { return e2e::ViewOf(w).title == "Larkwend"; },
                            [](GtkWindow*) { ::kill(::getpid(), SIGTERM); });
  EXPECT_EQ(MainWindowsOfAStoppedStart(), 0);
  EXPECT_EQ(logout.Handled(), 1);
  EXPECT_TRUE(g_browser.Calls().empty());  // no download begun as the program ends
  EXPECT_EQ(JournalEvents(), (std::vector<std::string>{"程序启动，版本 3.1",
                                                       "检查更新：有新版本，未下载", "程序结束"}));
}

TEST_F(EndAskedAtStart, WhileTheServiceKeepsSilentTheStartEndsWithoutAMainWindow) {
  e2e::PracticeSite site({"--update-fault", "silent"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  // The GUI thread waits on the service meanwhile; the signal comes once the request is there.
  std::thread logout([&] {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (site.UpdateRequests().empty() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ::kill(::getpid(), SIGTERM);
  });
  EXPECT_EQ(MainWindowsOfAStoppedStart(), 0);
  logout.join();
  EXPECT_EQ(JournalEvents(), (std::vector<std::string>{"程序启动，版本 3.1",
                                                       "检查更新：更新服务没有回应", "程序结束"}));
}

TEST_F(UpdateGateAtStart, WithoutAServiceTheMainWindowOpensAtOnce) {
  e2e::PracticeSite site({"--no-update-service"});
  ASSERT_TRUE(site.Ready()) << site.Error();
  e2e::MessageBoxAnswerer boxes("Larkwend", "否(N)");

  std::string storedLink = "unset";
  const e2e::ProgramRun run = e2e::RunProgram({}, [&](e2e::Program& program) {
    storedLink = TheApp().m_strDownloadUrl;
    program.Click(IDC_BANNER);
    e2e::PumpFor(500);
  });
  EXPECT_TRUE(run.mainWindowShown);
  EXPECT_TRUE(boxes.Seen().empty());
  EXPECT_EQ(storedLink, "");
  EXPECT_TRUE(g_browser.Calls().empty());

  // How long start-up takes to the main window with the refused check, against a gate that asks
  // nobody, each warmed up by the run above: recorded for the figures, not judged here.
  auto timeToMainWindow = [](const e2e::ProgramOptions& options) {
    const auto start = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration elapsed{};
    e2e::RunProgram(options,
                    [&](e2e::Program&) { elapsed = std::chrono::steady_clock::now() - start; });
    return std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count());
  };
  e2e::ProgramOptions noGate;
  noGate.updateCheck = [](Platform&, std::string&) { return 1; };
  for (int round = 1; round <= 2; ++round) {
    RecordProperty("start_us_no_gate_" + std::to_string(round), timeToMainWindow(noGate));
    RecordProperty("start_us_refused_" + std::to_string(round), timeToMainWindow({}));
  }
}

}  // namespace
}  // namespace larkwend
