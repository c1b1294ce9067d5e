// SPDX-License-Identifier: GPL-3.0-or-later
// The alert dismisser: a worker thread that closes the browser's script message boxes.
//
// A page's alert() blocks that page until someone presses OK; during an unattended study run
// nobody would. The worker looks for the box by its title twice a second and posts two clicks to
// its OK button. It only ever posts: it never touches the toolkit or waits on the GUI thread.
#pragma once

#include <atomic>
#include <chrono>

#include "platform/desktop_windows.h"

namespace larkwend {

// Runs while `run` is true, pausing `pause` between looks (also when nothing was found).
void AlertDismisserThread(DesktopWindows& desktop, const std::atomic<bool>& run,
                          std::chrono::milliseconds pause = std::chrono::milliseconds(500));

// Starts the worker once per main window (the first tick that finds a page complete calls it).
void StartAlertDismisser(DesktopWindows& desktop);

// Stops the worker the main window started, if any, and waits for it to end. The main window
// calls it as it goes, before the program's static objects are destroyed.
void StopAlertDismisser();

}  // namespace larkwend
