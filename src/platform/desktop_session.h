// SPDX-License-Identifier: GPL-3.0-or-later
// What a program that works alone for hours asks of the desktop session: that the machine does
// not suspend under it, and that the student is told when something needs them.
//
// Both are requests a desktop may not be able to grant (no session manager, no login manager,
// no notification server): the program goes on as before then, and the platform says so once in
// the diagnostics, never in a dialog.
#pragma once

#include <memory>
#include <string>

namespace larkwend {

class DesktopSession {
 public:
  // While it lives, the desktop is asked not to suspend the machine. Idle is not blocked: the
  // screen may still blank and lock.
  class SuspendBlock {
   public:
    virtual ~SuspendBlock() = default;
  };

  virtual ~DesktopSession() = default;
  // `reason` (UTF-8) is what the desktop shows for the block. Never null, even when nothing could
  // be asked.
  virtual std::unique_ptr<SuspendBlock> BlockSuspend(const std::string& reason) = 0;
  // A desktop notification; one sent with the same `id` takes the place of the earlier one.
  // Texts are UTF-8.
  virtual void Notify(const std::string& id, const std::string& title, const std::string& body) = 0;
};

}  // namespace larkwend
