#include "platform/gtk/gtk_platform.h"

#include <glib.h>

#include "platform/gtk/desktop_shell.h"
#include "platform/gtk/glib_clock.h"
#include "platform/gtk/glib_diagnostics.h"
#include "platform/gtk/gtk_dialog_system.h"
#include "platform/gtk/window_registry.h"
#include "platform/posix/file_journal.h"

namespace larkwend::gtk {

struct GtkPlatform::Services {
  explicit Services(const GtkPlatformOptions& options) : dialogs(options.timerScale) {}

  // First, so that a journal that cannot be written can say so.
  GlibDiagnostics diagnostics;
  posix::FileJournal journal{posix::StudyJournalPath()};
  ScopedJournal journalInUse{journal};
  GtkDialogSystem dialogs;
  DesktopShell shell;
  DesktopFileAssociations associations;
  GlibClock clock;
  Platform platform{dialogs, shell, associations, WindowRegistry::Instance(), clock};
};

GtkPlatformOptions GtkPlatformOptions::FromEnvironment() {
  GtkPlatformOptions options;
  const char* scale = g_getenv("LARKWEND_TIMER_SCALE");
  if (!scale || !*scale) return options;
  char* end = nullptr;
  const double value = g_ascii_strtod(scale, &end);
  if (*end != '\0' || !(value > 0 && value <= 1)) {
    g_log(kLogDomain, G_LOG_LEVEL_WARNING,
          "LARKWEND_TIMER_SCALE=%s ignored: not a number in (0, 1]", scale);
    return options;
  }
  // Said where a student would see it too: such a run is not the program's normal pace.
  g_log(kLogDomain, G_LOG_LEVEL_MESSAGE, "window timer periods scaled by %g (LARKWEND_TIMER_SCALE)",
        value);
  options.timerScale = value;
  return options;
}

GtkPlatform::GtkPlatform(GtkPlatformOptions options)
    : services_(std::make_unique<Services>(options)) {}

GtkPlatform::~GtkPlatform() = default;

Platform& GtkPlatform::platform() {
  return services_->platform;
}

}  // namespace larkwend::gtk
