// SPDX-License-Identifier: GPL-3.0-or-later
#include "program_options.h"

namespace larkwend {

// No command-line option, environment variable or setting: the student's program always runs at
// its own pace.
gtk::GtkPlatformOptions ProgramPlatformOptions() {
  return {};
}

}  // namespace larkwend
