// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/gtk_platform.h"

#include "platform/diagnostics.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/gtk/common/window_registry.h"
#include "platform/gtk/desktop_shell.h"
#include "platform/gtk/dialogs/gtk_dialog_system.h"
#include "platform/gtk/glib_clock.h"
#include "platform/gtk/glib_diagnostics.h"
#include "platform/gtk/gtk_desktop_session.h"
#include "platform/posix/file_journal.h"

namespace larkwend::gtk {

struct GtkPlatform::Services {
  Services(const GtkPlatformOptions& options, GtkApplication* application)
      : dialogs(options.timerScale), session(application) {}

  // First, so that a journal that cannot be written can say so.
  GlibDiagnostics diagnostics;
  posix::FileJournal journal{posix::StudyJournalPath()};
  ScopedJournal journalInUse{journal};
  GtkDialogSystem dialogs;
  DesktopShell shell;
  DesktopFileAssociations associations;
  GlibClock clock;
  GtkDesktopSession session;
  Platform platform{dialogs, shell, associations, WindowRegistry::Instance(), clock, session};
};

GtkPlatform::GtkPlatform(GtkPlatformOptions options, GtkApplication* application)
    : services_(std::make_unique<Services>(options, application)) {}

GtkPlatform::~GtkPlatform() = default;

Platform& GtkPlatform::platform() {
  return services_->platform;
}

bool GtkPlatform::PresentWindows() {
  return services_->dialogs.PresentWindows();
}

namespace {

struct ApplicationRun {
  GtkPlatformOptions options;
  const std::function<void(Platform&)>& program;
  GtkPlatform* running = nullptr;  // while the program runs
};

void Activated(GApplication* application, gpointer data) {
  auto* run = static_cast<ApplicationRun*>(data);
  // The program's windows run nested loops inside the first activation, where a later one (a
  // click on a notification) arrives: it is the student turning to the program.
  if (run->running) {
    Diagnose(run->running->PresentWindows()
                 ? "the application was activated: its windows are brought to the front"
                 : "the application was activated before any window was open");
    return;
  }
  // The program runs its windows in loops of its own; the application ends when it returns,
  // as no window of the program is the application's to wait for.
  GtkPlatform platform(run->options, GTK_APPLICATION(application));
  run->running = &platform;
  run->program(platform.platform());
  run->running = nullptr;
}

// --version: the version, and the application ends before it starts (-1 goes on).
gint HandleLocalOptions(GApplication*, GVariantDict* options, gpointer version) {
  if (!g_variant_dict_contains(options, "version")) return -1;
  g_print("%s\n", static_cast<const char*>(version));
  return 0;
}

}  // namespace

int RunAsApplication(const char* applicationId, GtkPlatformOptions options,
                     const std::function<void(Platform&)>& program,
                     const CommandLine& commandLine) {
  const auto application = GObjectPtr<GtkApplication>::Adopt(
      gtk_application_new(applicationId, G_APPLICATION_NON_UNIQUE));
  ApplicationRun run{options, program};
  g_signal_connect(application.get(), "activate", G_CALLBACK(Activated), &run);
  if (commandLine.version) {
    static const GOptionEntry kEntries[] = {
        {"version", 0, G_OPTION_FLAG_NONE, G_OPTION_ARG_NONE, nullptr,
         "Print the program's version and exit", nullptr},
        {}};
    g_application_add_main_option_entries(G_APPLICATION(application.get()), kEntries);
    g_signal_connect(application.get(), "handle-local-options", G_CALLBACK(HandleLocalOptions),
                     const_cast<char*>(commandLine.version));
  }
  if (commandLine.summary)
    g_application_set_option_context_summary(G_APPLICATION(application.get()), commandLine.summary);
  // GtkApplication parses GTK's own options with the program's, and opens the display when it
  // starts (its gtk_init), after --help and --version have answered.
  return g_application_run(G_APPLICATION(application.get()), commandLine.argc, commandLine.argv);
}

}  // namespace larkwend::gtk
