// Page recovery: what the program does when the study page goes wrong under a study run.
//
// The browser reports facts (a load began, ended, failed; the page stopped answering; its
// process ended) and carries out what is decided here: end the page's process, stop a load,
// load the page again. The rules:
//   - a page that has not answered for `hungPage` is ended; a page whose process ended, for
//     that or any other reason, is loaded again at once, studying or not;
//   - while a study run is armed, a load that failed (an error status, a network error) or
//     that has not ended after `neverEndingLoad` makes the page count as not loaded: the cycle's
//     ticks read nothing, and the study page is loaded again after `firstRetry`, then after
//     twice the last wait, up to `longestRetry`, until it loads;
//   - whenever the program loads a study page again by itself, the run starts over from the
//     chapter list, as on arriving at a study page, whatever the page shows after the load;
//   - a run that lands on the portal's login page was signed out by the site: it waits for the
//     student instead of loading the page again.
// The journal gets one line when a page starts failing and one when it comes back; every retry
// goes to the diagnostics only. What the desktop and the student are told of the run (the machine
// kept awake, the notifications) is the unattended run's, fed from here.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "automation/unattended_run.h"
#include "browser/web_browser2.h"
#include "platform/browser_control.h"
#include "platform/clock.h"

namespace larkwend {

struct PageRecoveryTimings {
  std::chrono::milliseconds hungPage{25000};
  std::chrono::milliseconds neverEndingLoad{60000};
  std::chrono::milliseconds firstRetry{5000};
  std::chrono::milliseconds longestRetry{60000};
};

class PageRecovery {
 public:
  // `restartRun` starts the study run over from the chapter list (the arming's timers).
  PageRecovery(Clock& clock, CWebBrowser2& browser, UnattendedRun& unattended,
               PageRecoveryTimings timings, std::function<void()> restartRun);
  ~PageRecovery();
  PageRecovery(const PageRecovery&) = delete;
  PageRecovery& operator=(const PageRecovery&) = delete;

  // The study run: armed on arriving at a study page, ended with the end message.
  void RunArmed();
  void RunEnded();
  bool runArmed() const { return armed_; }

  // False from a failed or never-ending load of the page until it has loaded again.
  bool PageLoaded() const { return !failing_; }

  // The program refreshed the page itself because the chapter stood still.
  void PageRefreshed();
  // The page or the student starts a top-level navigation: a retry that was waiting gives way.
  void TopLevelNavigation();
  // The window is going: nothing more is asked of the browser.
  void Stop();

  // The browser's facts; addresses are the program's text.
  void LoadStarted(const std::string& address, bool topLevel);
  void LoadFinished(const std::string& address, bool topLevel);
  void LoadFailed(const std::string& address, bool topLevel, const std::string& why);
  void LoadStopped(const std::string& address, bool topLevel);
  void AnsweringChanged(bool answering);
  void PageProcessEnded(PageProcessEnd why);

 private:
  void WatchLoad(const std::string& key);
  void ForgetLoad(const std::string& key);
  void LoadNeverEnded(const std::string& key, const std::string& address);
  void EndHungPage();
  void Failed(const std::string& address, const std::string& why);
  void Retry();
  void CameBack(const std::string& address);
  void SignedOut(const std::string& address);
  void LoadAgain(const std::string& address);
  void CancelRetry();

  Clock& clock_;
  CWebBrowser2& browser_;
  UnattendedRun& unattended_;
  const PageRecoveryTimings timings_;
  std::function<void()> restartRun_;
  bool stopped_ = false;

  bool armed_ = false;
  std::string pageAddress_;  // the top-level page being loaded or shown
  bool failedSinceTopStart_ = false;
  std::map<std::string, Clock::CallId> loadWatches_;  // loads under way, by "top" or address

  bool answering_ = true;
  Clock::CallId hungCall_ = 0;
  const char* processEndReason_ = nullptr;  // set when the program ends the process itself

  // A failure episode: from the first failed load to the page loading again.
  bool failing_ = false;
  Clock::TimePoint failingSince_;
  std::string retryAddress_;
  std::chrono::milliseconds nextWait_{0};
  Clock::CallId retryCall_ = 0;
};

}  // namespace larkwend
