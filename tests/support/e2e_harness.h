// SPDX-License-Identifier: GPL-3.0-or-later
// Helpers for the end-to-end tests: driving the real GTK main loop from a test.
#pragma once

#include <functional>

namespace larkwend::e2e {

// Runs the main loop until `done()` holds or `timeoutMs` has passed; true when done.
bool PumpUntil(const std::function<bool()>& done, int timeoutMs);
// Runs the main loop for `ms` milliseconds.
void PumpFor(int ms);

}  // namespace larkwend::e2e
