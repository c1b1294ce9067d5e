// The real platform bundle: GTK dialogs with WebKit browsers, the desktop's shell and file
// associations, and the registry of the program's own windows.
#pragma once

#include <memory>

#include "platform/platform.h"

namespace larkwend::gtk {

struct GtkPlatformOptions {
  // Window timer periods are multiplied by this. Students run at 1; end-to-end tests shorten the
  // auto-study periods through it, and a maintainer's soak run through FromEnvironment.
  double timerScale = 1.0;

  // The defaults, with LARKWEND_TIMER_SCALE (a number in (0, 1]: 0.05 runs the timers twenty
  // times as fast) when it is set. A value out of range is ignored with a warning.
  static GtkPlatformOptions FromEnvironment();
};

class GtkPlatform {
 public:
  // gtk_init must have run.
  explicit GtkPlatform(GtkPlatformOptions options = {});
  ~GtkPlatform();
  GtkPlatform(const GtkPlatform&) = delete;
  GtkPlatform& operator=(const GtkPlatform&) = delete;

  Platform& platform();

 private:
  struct Services;
  std::unique_ptr<Services> services_;
};

}  // namespace larkwend::gtk
