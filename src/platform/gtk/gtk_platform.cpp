#include "platform/gtk/gtk_platform.h"

#include "platform/gtk/common/window_registry.h"
#include "platform/gtk/desktop_shell.h"
#include "platform/gtk/dialogs/gtk_dialog_system.h"
#include "platform/gtk/glib_clock.h"
#include "platform/gtk/glib_diagnostics.h"
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

GtkPlatform::GtkPlatform(GtkPlatformOptions options)
    : services_(std::make_unique<Services>(options)) {}

GtkPlatform::~GtkPlatform() = default;

Platform& GtkPlatform::platform() {
  return services_->platform;
}

}  // namespace larkwend::gtk
