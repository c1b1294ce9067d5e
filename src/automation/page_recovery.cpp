#include "automation/page_recovery.h"

#include <algorithm>
#include <cstdio>

#include "app/study_journal.h"
#include "platform/diagnostics.h"
#include "platform/text.h"
#include "resources/site_profile.h"

namespace larkwend {
namespace {

constexpr const char* kTopLevelKey = "top";

std::string FrameKey(const std::string& address) {
  return "frame " + address;
}

// "5", "2.5": whole seconds when there are no tenths.
std::string Seconds(std::chrono::milliseconds duration) {
  const long long tenths = (duration.count() + 50) / 100;
  char text[32];
  if (tenths % 10 == 0)
    std::snprintf(text, sizeof text, "%lld", tenths / 10);
  else
    std::snprintf(text, sizeof text, "%lld.%lld", tenths / 10, tenths % 10);
  return text;
}

// The portal's login page, where a site that ended the student's session sends the browser.
bool IsLoginPage(const std::string& address) {
  return FindGbk(address, Gbk(site::PortalLoginUrl)) != std::string::npos;
}

void Say(const std::string& gbk) {
  Diagnose(GbkToUtf8(gbk));
}

}  // namespace

PageRecovery::PageRecovery(Clock& clock, CWebBrowser2& browser, UnattendedRun& unattended,
                           PageRecoveryTimings timings, std::function<void()> restartRun)
    : clock_(clock),
      browser_(browser),
      unattended_(unattended),
      timings_(timings),
      restartRun_(std::move(restartRun)) {}

PageRecovery::~PageRecovery() {
  Stop();
}

void PageRecovery::Stop() {
  stopped_ = true;
  unattended_.Stop();
  CancelRetry();
  clock_.Cancel(std::exchange(hungCall_, 0));
  for (const auto& [key, call] : loadWatches_) clock_.Cancel(call);
  loadWatches_.clear();
}

// ---- the study run ----------------------------------------------------------------------------

void PageRecovery::RunArmed() {
  if (stopped_) return;
  unattended_.Armed();
  if (armed_) return;
  armed_ = true;
  // A failed load is the program's to handle now; the engine's error page would only be read.
  browser_.ShowErrorPages(false);
}

void PageRecovery::RunEnded() {
  armed_ = false;
  failing_ = false;
  CancelRetry();
  browser_.ShowErrorPages(true);
  unattended_.Ended();
}

void PageRecovery::PageRefreshed() {
  // The page comes back as the site serves it, which need not be the chapter that stood still.
  if (armed_ && restartRun_) restartRun_();
}

void PageRecovery::TopLevelNavigation() {
  if (!retryCall_) return;
  Diagnose("a navigation of the page's or the student's takes the place of the waiting reload");
  CancelRetry();
}

// ---- loads ------------------------------------------------------------------------------------

void PageRecovery::LoadStarted(const std::string& address, bool topLevel) {
  if (topLevel) {
    // A new top-level page replaces every frame and whatever they were loading.
    for (const auto& [key, call] : loadWatches_) clock_.Cancel(call);
    loadWatches_.clear();
    pageAddress_ = address;
    failedSinceTopStart_ = false;
  }
  WatchLoad(topLevel ? kTopLevelKey : FrameKey(address));
}

void PageRecovery::LoadFinished(const std::string& address, bool topLevel) {
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
  if (!topLevel) return;
  // A page asked for elsewhere that ends on the login page: the site sent the browser there.
  // The student's own way to the login page starts there.
  const bool sentToLogin = IsLoginPage(address) && !IsLoginPage(pageAddress_);
  pageAddress_ = address;
  if (armed_ && sentToLogin) return SignedOut(address);
  // A frame that failed during this load makes the whole page one that did not load.
  if (!failedSinceTopStart_) CameBack(address);
}

void PageRecovery::LoadFailed(const std::string& address, bool topLevel, const std::string& why) {
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
  failedSinceTopStart_ = true;
  Failed(address, why);
}

void PageRecovery::LoadStopped(const std::string& address, bool topLevel) {
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
}

void PageRecovery::WatchLoad(const std::string& key) {
  ForgetLoad(key);
  const std::string address = key == kTopLevelKey ? pageAddress_ : key.substr(6);
  loadWatches_[key] = clock_.After(timings_.neverEndingLoad,
                                   [this, key, address] { LoadNeverEnded(key, address); });
}

void PageRecovery::ForgetLoad(const std::string& key) {
  auto it = loadWatches_.find(key);
  if (it == loadWatches_.end()) return;
  clock_.Cancel(it->second);
  loadWatches_.erase(it);
}

void PageRecovery::LoadNeverEnded(const std::string& key, const std::string& address) {
  loadWatches_.erase(key);
  // Outside a study run a slow page is the student's to wait for.
  if (!armed_ || stopped_) return;
  Say("still loading after " + Seconds(timings_.neverEndingLoad) + " s, stopped: " + address);
  if (!browser_.StopLoading()) {
    // A script that spins while the page is parsed holds its process; only ending it stops that.
    processEndReason_ = "it did not finish loading";
    browser_.EndPageProcess();
  }
  failedSinceTopStart_ = true;
  Failed(address, "still loading after " + Seconds(timings_.neverEndingLoad) + " s");
}

// ---- failures and retries ---------------------------------------------------------------------

void PageRecovery::Failed(const std::string& address, const std::string& why) {
  if (stopped_) return;
  if (!armed_) {
    Say("page failed to load: " + address + " (" + why + "), not studying: left as it is");
    return;
  }
  if (!failing_) {
    failing_ = true;
    failingSince_ = clock_.Now();
    nextWait_ = timings_.firstRetry;
    // The whole page is loaded again, whichever of its frames failed.
    retryAddress_ = !pageAddress_.empty() ? pageAddress_ : browser_.GetLocationURL();
    if (retryAddress_.empty()) retryAddress_ = address;
    study_journal::PageFailedToLoad(address, why);
    unattended_.PageFailing();
  } else {
    Say("page failed to load again: " + address + " (" + why + ")");
  }
  if (retryCall_) return;
  Say("loading " + retryAddress_ + " again in " + Seconds(nextWait_) + " s");
  retryCall_ = clock_.After(nextWait_, [this] { Retry(); });
  nextWait_ = std::min(nextWait_ * 2, timings_.longestRetry);
}

void PageRecovery::Retry() {
  retryCall_ = 0;
  if (!armed_ || stopped_) return;
  Say("loading again: " + retryAddress_);
  LoadAgain(retryAddress_);
}

void PageRecovery::CameBack(const std::string& address) {
  if (!failing_) return;
  failing_ = false;
  CancelRetry();
  unattended_.PageBack();
  const auto down =
      std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - failingSince_);
  study_journal::PageLoadedAgain(Seconds(down), address);
}

void PageRecovery::SignedOut(const std::string& address) {
  // Loading the study page again would only land here again: the student has to log in.
  failing_ = false;
  CancelRetry();
  study_journal::SignedOutBySite(address);
  unattended_.SignedOut();
}

void PageRecovery::LoadAgain(const std::string& address) {
  browser_.LoadAgain(address);
  if (armed_ && restartRun_) restartRun_();
}

void PageRecovery::CancelRetry() {
  clock_.Cancel(std::exchange(retryCall_, 0));
}

// ---- a page that does not answer, or whose process ended -------------------------------------

void PageRecovery::AnsweringChanged(bool answering) {
  answering_ = answering;
  if (answering) {
    clock_.Cancel(std::exchange(hungCall_, 0));
    return;
  }
  if (hungCall_ || stopped_) return;
  hungCall_ = clock_.After(timings_.hungPage, [this] { EndHungPage(); });
}

void PageRecovery::EndHungPage() {
  hungCall_ = 0;
  if (answering_ || stopped_) return;
  processEndReason_ = "it stopped answering";
  browser_.EndPageProcess();
}

void PageRecovery::PageProcessEnded(PageProcessEnd why) {
  const char* reason = why == PageProcessEnd::kOutOfMemory ? "its web process ran out of memory"
                       : why == PageProcessEnd::kEndedByProgram && processEndReason_
                           ? processEndReason_
                           : "its web process ended";
  processEndReason_ = nullptr;
  answering_ = true;
  clock_.Cancel(std::exchange(hungCall_, 0));
  for (const auto& [key, call] : loadWatches_) clock_.Cancel(call);
  loadWatches_.clear();
  if (stopped_) return;
  if (retryCall_) {
    Say(std::string("the page's process ended (") + reason +
        "); the waiting reload brings it back");
    return;
  }
  const std::string address = browser_.GetLocationURL();
  if (address.empty()) return;
  study_journal::PageRecovered(address, reason);
  LoadAgain(address);
}

}  // namespace larkwend
