// SPDX-License-Identifier: GPL-3.0-or-later
// The real platform bundle: GTK dialogs with WebKit browsers, the desktop's shell and file
// associations, and the registry of the program's own windows.
#pragma once

#include <gtk/gtk.h>

#include <functional>
#include <memory>

#include "platform/platform.h"

namespace larkwend::gtk {

struct GtkPlatformOptions {
  // Window timer periods are multiplied by this. The installed program runs at 1; end-to-end
  // tests shorten the auto-study periods through it, and soak runs through larkwend-tuned.
  double timerScale = 1.0;
};

class GtkPlatform {
 public:
  // gtk_init must have run. `application` (may be null) is what the desktop session is asked
  // through.
  explicit GtkPlatform(GtkPlatformOptions options = {}, GtkApplication* application = nullptr);
  ~GtkPlatform();
  GtkPlatform(const GtkPlatform&) = delete;
  GtkPlatform& operator=(const GtkPlatform&) = delete;

  Platform& platform();
  // Brings the program's running windows to the front; false when none is open yet.
  bool PresentWindows();

 private:
  struct Services;
  std::unique_ptr<Services> services_;
};

// The program's command line, answered by the application before anything needs a display:
// --version prints `version`, --help the options under `summary`; GTK's own options (--display
// and the rest, listed by --help-all) are taken as gtk_init would take them.
struct CommandLine {
  int argc = 0;
  char** argv = nullptr;
  const char* version = nullptr;  // e.g. "larkwend 3.1.0"
  const char* summary = nullptr;  // --help's text under its usage line
};

// Runs `program` as the desktop application `applicationId`, on a platform bundle made for it,
// and answers the application's exit status once `program` has returned. The application is
// registered on the session bus when there is one, non-unique: every start is a program of its
// own, as two copies may run side by side. An activation while `program` runs (a click on one of
// its notifications) brings its windows to the front instead of starting it again. With a
// `commandLine`, its options are answered first (--help and --version print and return 0, an
// unknown option returns 1, before any display is opened); GTK is initialised when the
// application starts, unless gtk_init has run already.
int RunAsApplication(const char* applicationId, GtkPlatformOptions options,
                     const std::function<void(Platform&)>& program,
                     const CommandLine& commandLine = {});

}  // namespace larkwend::gtk
