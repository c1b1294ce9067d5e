// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/unattended_run.h"

#include <string>
#include <utility>

#include "platform/diagnostics.h"
#include "resources/texts.h"

namespace larkwend {

UnattendedRun::UnattendedRun(DesktopSession& session, Clock& clock)
    : session_(session), clock_(clock) {}

UnattendedRun::~UnattendedRun() {
  Stop();
}

void UnattendedRun::KeepAwake() {
  if (stopped_) return;
  // The run is armed again on every reload the program makes: one block covers them all.
  if (block_) return;
  Diagnose("study run going: asking the desktop not to suspend");
  block_ = session_.BlockSuspend(std::string(texts::kKeepAwakeReason));
}

void UnattendedRun::LetSleep() {
  PageBack();
  if (!block_) return;
  Diagnose("study run waiting for the student or over: the desktop may suspend again");
  block_.reset();
}

void UnattendedRun::Ended() {
  LetSleep();
  Tell("run-ended", texts::kRunEndedTitle, texts::kNoUnfinishedChapter);
}

void UnattendedRun::SignedOut() {
  LetSleep();
  Tell("signed-out", texts::kSignedOutTitle, texts::kSignedOutBody);
}

void UnattendedRun::VideoCannotPlay() {
  LetSleep();
  Tell("video-cannot-play", texts::kSignedOutTitle, texts::kVideoCannotPlayBody);
}

void UnattendedRun::CompletionRefused() {
  LetSleep();
  Tell("completion-refused", texts::kSignedOutTitle, texts::kCompletionRefusedBody);
}

void UnattendedRun::CertificateRejected() {
  LetSleep();
  Tell("certificate", texts::kCertificateRejectedTitle, texts::kCertificateRejectedBody);
}

void UnattendedRun::PageFailing(std::chrono::milliseconds tellAfter) {
  if (longFailureCall_ || failureTold_) return;
  longFailureCall_ = clock_.After(tellAfter, [this] {
    longFailureCall_ = 0;
    failureTold_ = true;
    Tell("page-failing", texts::kPageFailingTitle, texts::kPageFailingBody);
  });
}

void UnattendedRun::PageAnswers() {
  clock_.Cancel(std::exchange(longFailureCall_, 0));
}

void UnattendedRun::PageBack() {
  PageAnswers();
  failureTold_ = false;
}

void UnattendedRun::Stop() {
  LetSleep();
  stopped_ = true;
}

void UnattendedRun::Tell(std::string_view id, std::string_view title, std::string_view body) {
  if (stopped_) return;
  Diagnose("telling the student: " + std::string(title));
  session_.Notify(std::string(id), std::string(title), std::string(body));
}

}  // namespace larkwend
