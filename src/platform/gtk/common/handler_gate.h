// SPDX-License-Identifier: GPL-3.0-or-later
// Holds back the dialogs' own handlers while a document-model call waits on WebKit.
//
// The program sees every document-model call as synchronous, as it was on the platform it was
// written for: no timer tick or button click can run in the middle of one. A bridge call waits
// for WebKit in a nested main-loop iteration, so anything could be dispatched there; the dialog
// layer therefore routes its timer ticks and clicks through RunOrDefer, and whatever arrives while
// a call is in progress runs from the main loop after the outermost call has returned.
// Browser events caused by the call itself, script message boxes and posted clicks do not go
// through the gate: they are delivered at once.
#pragma once

#include <functional>

namespace larkwend::gtk {

class HandlerGate {
 public:
  // True while a document-model call is in progress on the GUI thread.
  static bool Busy();
  // Runs `handler` now, or queues it until no call is in progress.
  static void RunOrDefer(std::function<void()> handler);

  // Marks one document-model call in progress for its lifetime. Nestable.
  class Scope {
   public:
    Scope();
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;
  };
};

}  // namespace larkwend::gtk
