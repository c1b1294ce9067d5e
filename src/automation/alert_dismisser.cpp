// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/alert_dismisser.h"

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/diagnostics.h"
#include "platform/text.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

// Started once per main window, at the first timer tick that finds the page complete. The run
// flag is shared with the worker, hence atomic. The worker is kept so that the window's end can
// stop and join it: no thread of ours may still run while static objects are destroyed.
bool g_alertDismisserStarted = false;
std::atomic<bool> g_alertDismisserRun{false};
std::thread g_alertDismisser;

// The worker's pause ends early when the window stops it, so that the join is quick without the
// worker waking more than twice a second for hours.
std::mutex g_stopMutex;
std::condition_variable g_stopSignal;

}  // namespace

void AlertDismisserThread(DesktopWindows& desktop, const std::atomic<bool>& run,
                          std::chrono::milliseconds pause) {
  const std::string title = Gbk(texts::kScriptMessageTitle);
  const std::string ok = Gbk(texts::kScriptMessageOk);
  while (run.load()) {
    if (WindowId box = desktop.FindTopLevelWindow(title)) {
      if (WindowId button = desktop.FindChildWindow(box, ok)) {
        desktop.PostClick(button);
        desktop.PostClick(button);
        Diagnose("dismissed a script box");
      }
    }
    std::unique_lock lock(g_stopMutex);
    g_stopSignal.wait_for(lock, pause, [&run] { return !run.load(); });
  }
}

void StartAlertDismisser(DesktopWindows& desktop) {
  if (g_alertDismisserStarted) return;
  g_alertDismisserStarted = true;
  g_alertDismisserRun = true;
  g_alertDismisser = std::thread(AlertDismisserThread, std::ref(desktop),
                                 std::cref(g_alertDismisserRun), std::chrono::milliseconds(500));
}

void StopAlertDismisser() {
  if (!g_alertDismisser.joinable()) return;
  {
    std::lock_guard lock(g_stopMutex);
    g_alertDismisserRun = false;
  }
  g_stopSignal.notify_all();
  g_alertDismisser.join();
  g_alertDismisserStarted = false;  // a later main window of this process starts its own
}

}  // namespace larkwend
