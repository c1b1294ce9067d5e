// The real platform bundle: GTK dialogs with WebKit browsers, the desktop's shell and file
// associations, and the registry of the program's own windows.
#pragma once

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
