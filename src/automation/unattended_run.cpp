#include "automation/unattended_run.h"

#include <string>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/text.h"
#include "resources/texts.h"

namespace larkwend {

UnattendedRun::UnattendedRun(DesktopSession& session, Clock& clock,
                             std::chrono::milliseconds longFailure)
    : session_(session), clock_(clock), longFailure_(longFailure) {}

UnattendedRun::~UnattendedRun() {
  Stop();
}

void UnattendedRun::Armed() {
  // The run is armed again on every reload the program makes: one block covers them all.
  if (block_) return;
  Diagnose("study run armed: asking the desktop not to suspend");
  block_ = session_.BlockSuspend(Gbk(texts::kKeepAwakeReason));
}

void UnattendedRun::Ended() {
  PageBack();
  ReleaseBlock();
  Tell("run-ended", texts::kRunEndedTitle, texts::kNoUnfinishedChapter);
}

void UnattendedRun::SignedOut() {
  PageBack();
  Tell("signed-out", texts::kSignedOutTitle, texts::kSignedOutBody);
}

void UnattendedRun::PageFailing() {
  if (longFailureCall_) return;
  longFailureCall_ = clock_.After(longFailure_, [this] {
    longFailureCall_ = 0;
    Tell("page-failing", texts::kPageFailingTitle, texts::kPageFailingBody);
  });
}

void UnattendedRun::PageBack() {
  clock_.Cancel(std::exchange(longFailureCall_, 0));
}

void UnattendedRun::Stop() {
  PageBack();
  ReleaseBlock();
}

void UnattendedRun::Tell(std::string_view id, std::string_view title, std::string_view body) {
  Diagnose("telling the student: " + std::string(title));
  session_.Notify(std::string(id), Gbk(title), Gbk(body));
}

void UnattendedRun::ReleaseBlock() {
  if (!block_) return;
  Diagnose("study run over: the desktop may suspend again");
  block_.reset();
}

}  // namespace larkwend
