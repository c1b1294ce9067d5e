// SPDX-License-Identifier: GPL-3.0-or-later
// The platform's settings for one build of the program. The installed program has none of its
// own (program_options.cpp); the build made for the tests and benchmarks, larkwend-tuned, reads
// its timer scale from the environment (tuned_program_options.cpp).
#pragma once

#include "platform/gtk/gtk_platform.h"

namespace larkwend {

gtk::GtkPlatformOptions ProgramPlatformOptions();

}  // namespace larkwend
