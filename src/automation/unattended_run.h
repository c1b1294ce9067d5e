// A study run that works alone for hours, as the desktop sees it:
//   - from the arming of the run to its end (or the window's end) the machine is kept awake; the
//     block is taken once however often the run is armed again, and given back at the end;
//   - the student is told by a desktop notification when the run ends, when the site signed
//     them out, and when the study page has failed to load for `longFailure` (once a failure).
// The texts are the program's own; none of them carries an address or anything typed in.
#pragma once

#include <chrono>
#include <memory>

#include "platform/clock.h"
#include "platform/desktop_session.h"

namespace larkwend {

class UnattendedRun {
 public:
  static constexpr std::chrono::minutes kLongFailure{10};

  UnattendedRun(DesktopSession& session, Clock& clock,
                std::chrono::milliseconds longFailure = kLongFailure);
  ~UnattendedRun();
  UnattendedRun(const UnattendedRun&) = delete;
  UnattendedRun& operator=(const UnattendedRun&) = delete;

  void Armed();
  // All chapters done.
  void Ended();
  void SignedOut();
  // The study page stopped loading, or loads again.
  void PageFailing();
  void PageBack();
  // The window is going: the block is given back, nothing more is told.
  void Stop();

  bool keepingAwake() const { return block_ != nullptr; }

 private:
  void Tell(std::string_view id, std::string_view title, std::string_view body);
  void ReleaseBlock();

  DesktopSession& session_;
  Clock& clock_;
  const std::chrono::milliseconds longFailure_;
  std::unique_ptr<DesktopSession::SuspendBlock> block_;
  Clock::CallId longFailureCall_ = 0;
};

}  // namespace larkwend
