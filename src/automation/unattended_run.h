// SPDX-License-Identifier: GPL-3.0-or-later
// What the desktop hears of a study run that works alone for hours:
//   - while the run studies or waits for the site, the machine is kept awake; the block is taken
//     once however often the run is armed again, and given back as soon as the run cannot go on
//     by itself (ended, signed out, left by the student, nothing left in its course);
//   - the student is told by a desktop notification when the run ends, when the site signed them
//     out, when a chapter's video cannot play, when the study platform's certificate waits for
//     their word, and when the study page has failed to load for long (once a failure).
// The texts are the program's own; none of them carries an address or anything typed in.
#pragma once

#include <chrono>
#include <memory>
#include <string_view>

#include "platform/clock.h"
#include "platform/desktop_session.h"

namespace larkwend {

class UnattendedRun {
 public:
  UnattendedRun(DesktopSession& session, Clock& clock);
  ~UnattendedRun();
  UnattendedRun(const UnattendedRun&) = delete;
  UnattendedRun& operator=(const UnattendedRun&) = delete;

  // The run studies or waits for the site: keep the machine awake.
  void KeepAwake();
  // The run waits for the student: the machine may sleep, nothing is told.
  void LetSleep();
  // All chapters done.
  void Ended();
  void SignedOut();
  // A chapter's video cannot play on this machine: the run waits for the student.
  void VideoCannotPlay();
  // The site did not take a chapter's completion, however often it was pressed.
  void CompletionRefused();
  // The study platform's certificate waits for the student's word.
  void CertificateRejected();
  // The study page stopped loading: the student is told after `tellAfter` unless it answers by
  // then, and only once until it is back.
  void PageFailing(std::chrono::milliseconds tellAfter);
  // It answers again, not yet proven back: a notice on its way is held.
  void PageAnswers();
  void PageBack();
  // The window is going: the block is given back, nothing more is told.
  void Stop();

 private:
  void Tell(std::string_view id, std::string_view title, std::string_view body);

  DesktopSession& session_;
  Clock& clock_;
  std::unique_ptr<DesktopSession::SuspendBlock> block_;
  Clock::CallId longFailureCall_ = 0;
  bool failureTold_ = false;
  bool stopped_ = false;
};

}  // namespace larkwend
