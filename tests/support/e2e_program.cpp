// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_program.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "app/quillmoor_app.h"
#include "e2e_dialog_lookup.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "platform/gtk/gtk_platform.h"
#include "resources/templates.h"
#include "scoped_working_dir.h"

namespace larkwend::e2e {
namespace {

constexpr char kFirstSeenKey[] = "larkwend-e2e-first-seen";

std::vector<GtkWindow*> ShownWindows() {
  std::vector<GtkWindow*> windows;
  GList* list = gtk_window_list_toplevels();
  for (GList* item = list; item; item = item->next) {
    GtkWindow* window = GTK_WINDOW(item->data);
    // Popups (menus, a combo box's list, tooltips) are parts of other windows.
    if (gtk_widget_get_visible(GTK_WIDGET(window)) &&
        gtk_window_get_window_type(window) == GTK_WINDOW_TOPLEVEL)
      windows.push_back(window);
  }
  g_list_free(list);
  return windows;
}

GtkWindow* FindMainWindow() {
  for (GtkWindow* window : ShownWindows())
    if (DialogTemplateIdOf(window) == IDD_MAIN && gtk_widget_get_mapped(GTK_WIDGET(window)))
      return window;
  return nullptr;
}

// A box is answered with its last button (No, or OK); a dialog gets its close box.
void CloseWindow(GtkWindow* window) {
  const WindowView view = ViewOf(window);
  if (GTK_IS_MESSAGE_DIALOG(window) && !view.buttons.empty())
    PressButton(window, view.buttons.back());
  else
    gtk_window_close(window);
}

struct RunState {
  const ProgramOptions& options;
  const Script& script;
  ProgramRun& run;
  GtkWindow* mainWindow = nullptr;
  bool scriptDone = false;
  bool closerRan = false;
  guint startSource = 0;
  guint guardSource = 0;
  guint closerSource = 0;
};

gboolean CloseMainWindow(gpointer data) {
  auto* state = static_cast<RunState*>(data);
  state->closerSource = 0;
  state->closerRan = true;
  gtk_window_close(state->mainWindow);
  return G_SOURCE_REMOVE;
}

gboolean StartScript(gpointer data) {
  auto* state = static_cast<RunState*>(data);
  GtkWindow* window = FindMainWindow();
  if (!window) return G_SOURCE_CONTINUE;
  state->startSource = 0;
  state->mainWindow = window;
  state->run.mainWindowShown = true;
  Program program(window);
  state->script(program);
  state->scriptDone = true;
  // Runs only if the main window's modal loop goes on after the script.
  state->closerSource = g_idle_add(CloseMainWindow, state);
  return G_SOURCE_REMOVE;
}

// Boxes and dialogs nobody answers: a failure while the script runs, closed at once after it.
gboolean GuardWindows(gpointer data) {
  auto* state = static_cast<RunState*>(data);
  const gint64 now = g_get_monotonic_time() / 1000;
  for (GtkWindow* window : ShownWindows()) {
    if (window == state->mainWindow) continue;
    auto* firstSeen = static_cast<gint64*>(g_object_get_data(G_OBJECT(window), kFirstSeenKey));
    if (!firstSeen) {
      g_object_set_data_full(G_OBJECT(window), kFirstSeenKey, g_memdup2(&now, sizeof now), g_free);
      continue;
    }
    if (!state->scriptDone) {
      if (now - *firstSeen < state->options.unansweredWindowMs) continue;
      const WindowView view = ViewOf(window);
      ADD_FAILURE() << "nobody answered the window \"" << view.title << "\": " << view.text;
    }
    CloseWindow(window);
    break;  // closing changes the list of windows
  }
  return G_SOURCE_CONTINUE;
}

void RemoveSource(guint& source) {
  if (source) g_source_remove(source);
  source = 0;
}

// Parent and name of process `pid`, from /proc; false when it has gone.
bool ReadProcess(int pid, int& parent, std::string& name) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string stat((std::istreambuf_iterator<char>(in)), {});
  const std::size_t open = stat.find('('), close = stat.rfind(')');
  if (open == std::string::npos || close == std::string::npos) return false;
  name = stat.substr(open + 1, close - open - 1);
  std::istringstream rest(stat.substr(close + 2));
  std::string state;
  rest >> state >> parent;
  return true;
}

bool Descends(int pid, int ancestor) {
  std::string name;
  for (int up = pid, parent = 0; up > 1; up = parent)
    if (!ReadProcess(up, parent, name) || parent == ancestor) return parent == ancestor;
  return false;
}

// Kills the processes under this one whose name starts with `name` (the kernel keeps 15
// characters of it).
int KillProcessesNamed(const std::string& name) {
  int killed = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    const int pid = std::atoi(entry.path().filename().c_str());
    int parent = 0;
    std::string seen;
    if (pid <= 0 || !ReadProcess(pid, parent, seen)) continue;
    if (seen.rfind(name, 0) != 0 || !Descends(pid, getpid())) continue;
    if (kill(pid, SIGKILL) == 0) ++killed;
  }
  return killed;
}

}  // namespace

int KillWebProcesses() {
  return KillProcessesNamed("WebKitWebProces");
}

int KillNetworkProcesses() {
  return KillProcessesNamed("WebKitNetworkPr");
}

ProgramRun RunProgram(const ProgramOptions& options, const Script& script) {
  static const bool s_gtkReady = gtk_init_check(nullptr, nullptr);
  ProgramRun run;
  if (!s_gtkReady) {
    ADD_FAILURE() << "GTK cannot start: is there a display?";
    return run;
  }

  const std::filesystem::path previous = std::filesystem::current_path();
  std::optional<fixtures::ScopedWorkingDir> fresh;
  if (options.workingDirectory.empty())
    fresh.emplace();
  else
    std::filesystem::current_path(options.workingDirectory);
  run.workingDirectory = std::filesystem::current_path().string();
  // Each run says where its journal goes, so no test writes into the machine's own.
  const std::filesystem::path stateHome =
      options.stateHome.empty() ? std::filesystem::current_path() / "state" : options.stateHome;
  ::setenv("XDG_STATE_HOME", stateHome.c_str(), 1);
  // And its settings file: a test never reads the machine's own choices.
  ::setenv("XDG_CONFIG_HOME", (std::filesystem::current_path() / "config").c_str(), 1);

  // The application object lives for the whole process; each run starts it as a new process
  // would find it.
  CQuillmoorApp& app = TheApp();
  app.m_strDownloadUrl.clear();
  app.m_updateCheck = options.updateCheck;
  app.m_studyRunTimings = options.studyRun;

  RunState state{options, script, run};
  state.startSource = g_timeout_add(20, StartScript, &state);
  state.guardSource = g_timeout_add(100, GuardWindows, &state);
  // As the program starts: as the desktop application, on the session bus when there is one.
  // The application runs its main loop once more after the program: the harness's own calls go
  // with the program.
  gtk::RunAsApplication(LARKWEND_APP_ID, gtk::GtkPlatformOptions{options.timerScale},
                        [&app, &state](Platform& platform) {
                          app.InitInstance(platform);
                          RemoveSource(state.startSource);
                          RemoveSource(state.guardSource);
                          RemoveSource(state.closerSource);
                        });
  app.m_updateCheck = nullptr;
  app.m_studyRunTimings = {};

  run.endedByProgram = state.scriptDone && !state.closerRan;
  if (!run.mainWindowShown) ADD_FAILURE() << "the main window was never shown";
  // Let the windows that have gone finish going.
  PumpFor(50);
  if (!fresh) std::filesystem::current_path(previous);
  return run;
}

}  // namespace larkwend::e2e
