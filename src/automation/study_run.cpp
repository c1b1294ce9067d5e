// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/study_run.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "automation/course_list.h"
#include "automation/study_journal.h"
#include "platform/diagnostics.h"
#include "platform/text.h"
#include "resources/site_profile.h"

namespace larkwend {
namespace {

constexpr const char* kTopLevelKey = "top";
// The study platform's chapter pages ("Study_v2.aspx"), matched on the lower-cased address.
constexpr std::string_view kChapterPageKey = "study_v";

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

std::string LowerAscii(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// The portal's login page, where a site that ended the student's session sends the browser.
bool IsLoginPage(const std::string& address) {
  return address.find(site::PortalLoginUrl) != std::string::npos;
}

bool IsChapterPage(const std::string& address) {
  const std::string lower = LowerAscii(address);
  return lower.find(kChapterPageKey) != std::string::npos &&
         lower.find(LowerAscii(std::string(site::StudyDomainLabel))) != std::string::npos;
}

}  // namespace

// Says the status again once the event it guards has been handled, whatever path it took.
class StudyRun::StatusUpdate {
 public:
  explicit StatusUpdate(StudyRun& run) : run_(run) {}
  ~StatusUpdate() { run_.PublishStatus(); }
  StatusUpdate(const StatusUpdate&) = delete;
  StatusUpdate& operator=(const StatusUpdate&) = delete;

 private:
  StudyRun& run_;
};

StudyRun::StudyRun(Clock& clock, DesktopSession& session, CWebBrowser2& browser, StudyCycle& cycle,
                   StudyRunTimings timings)
    : clock_(clock),
      browser_(browser),
      cycle_(cycle),
      timings_(timings),
      unattended_(session, clock) {}

StudyRun::~StudyRun() {
  Stop();
}

void StudyRun::Stop() {
  stopped_ = true;
  unattended_.Stop();
  CancelRetry();
  clock_.Cancel(std::exchange(lifeCall_, 0));
  clock_.Cancel(std::exchange(hungCall_, 0));
  clock_.Cancel(std::exchange(readCall_, 0));
  clock_.Cancel(std::exchange(statusTick_, 0));
  ForgetAllLoads();
}

StudyRun::State StudyRun::state() const {
  switch (phase_) {
    case Phase::kNotStarted:
      return State::kNotStarted;
    case Phase::kArmed:
      return retryCall_ ? State::kWaitingForSite : State::kStudying;
    case Phase::kSignedOut:
      return State::kSignedOut;
    case Phase::kCertificateRejected:
      return State::kCertificateRejected;
    case Phase::kLeftByStudent:
      return State::kLeftByStudent;
    case Phase::kNothingLeft:
      return State::kNothingLeft;
    case Phase::kEnded:
      return State::kEnded;
  }
  return State::kNotStarted;
}

std::optional<Clock::TimePoint> StudyRun::nextAttempt() const {
  if (!retryCall_) return std::nullopt;
  return retryDue_;
}

// ---- the run's life ---------------------------------------------------------------------------

void StudyRun::Armed() {
  const StatusUpdate update(*this);
  if (stopped_) return;
  if (phase_ != Phase::kArmed) {
    phase_ = Phase::kArmed;
    // A failed load is the run's to handle now; the engine's error page would only be read.
    browser_.ShowErrorPages(false);
  }
  if (const std::string location = GbkToUtf8(browser_.GetLocationURL()); IsChapterPage(location))
    studyPage_ = location;
  unattended_.KeepAwake();
  WatchForLife();
}

void StudyRun::WaitForStudent(Phase phase) {
  if (phase_ == phase) return;
  phase_ = phase;
  CancelRetry();
  clock_.Cancel(std::exchange(lifeCall_, 0));
  failing_ = failureJournaled_ = false;
  browser_.ShowErrorPages(true);
  unattended_.LetSleep();
}

void StudyRun::ChapterListRead(std::size_t unfinished) {
  const StatusUpdate update(*this);
  if (!armed() && !(phase_ == Phase::kNothingLeft && unfinished > 0)) return;
  if (failing_) {
    // The site answers with its list again: the student need not hear of the failure, though
    // the episode lasts until a chapter is seen studying, so a page lost again keeps its pace.
    unattended_.PageAnswers();
    if (std::exchange(failureJournaled_, false)) {
      const auto down =
          std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - failingSince_);
      study_journal::PageLoadedAgain(Seconds(down), pageAddress_);
    }
  }
  if (unfinished > 0) {
    unfinishedListed_ = unfinished;
    if (phase_ == Phase::kNothingLeft) Armed();  // the list has work again
    return;
  }
  if (cycle_.StudiesEveryCourse()) return CourseDone();
  Diagnose("the chapter list holds no unfinished chapter: waiting for the student");
  WaitForStudent(Phase::kNothingLeft);
}

void StudyRun::NotAChapterPage(const std::string& address, const std::string& why) {
  const StatusUpdate update(*this);
  if (!armed()) return;
  // What it shows stays unread until the page is loaded again.
  failedSinceTopStart_ = true;
  Failed(address, why);
}

void StudyRun::LoginFormShown(const std::string& address) {
  const StatusUpdate update(*this);
  if (armed()) SignedOut(address);
}

void StudyRun::ChapterOpened() {
  const StatusUpdate update(*this);
  chapterOpen_ = true;
  SignOfLife(false);
}

void StudyRun::ProgressRead() {
  const StatusUpdate update(*this);
  SignOfLife(true);
}

void StudyRun::ChapterCompleted() {
  const StatusUpdate update(*this);
  ++completedInCourse_;
  if (unfinishedListed_ > 0) --unfinishedListed_;
  SignOfLife(true);
}

void StudyRun::PageRefreshed() {
  // The page comes back as the site serves it, which need not be the chapter that stood still.
  if (armed()) cycle_.RestartFromChapterList();
}

void StudyRun::NoChapterLeft() {
  const StatusUpdate update(*this);
  if (stopped_) return;
  if (armed() && cycle_.StudiesEveryCourse()) return CourseDone();
  End();
}

void StudyRun::End() {
  WaitForStudent(Phase::kEnded);
  unattended_.Ended();
  cycle_.AnnounceEnd();
}

void StudyRun::SignOfLife(bool provesThePage) {
  if (!armed()) return;
  WatchForLife();
  if (!provesThePage || !failing_) return;
  failing_ = false;
  unattended_.PageBack();
}

void StudyRun::NothingDecided() {
  if (!armed() || retryCall_ || clock_.Now() - lastLife_ < timings_.noProgress) return;
  const StatusUpdate update(*this);
  clock_.Cancel(std::exchange(lifeCall_, 0));
  NoSignOfLife();
}

void StudyRun::WatchForLife() {
  lastLife_ = clock_.Now();
  clock_.Cancel(lifeCall_);
  lifeCall_ = clock_.After(timings_.noProgress, [this] { NoSignOfLife(); });
}

void StudyRun::NoSignOfLife() {
  const StatusUpdate update(*this);
  lifeCall_ = 0;
  // Waiting for the site is a wait with a known end; its reload watches again.
  if (!armed() || retryCall_) return;
  const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(timings_.noProgress);
  study_journal::NoProgress(static_cast<int>(minutes.count()));
  ReloadPaced("no progress for " + Seconds(timings_.noProgress) + " s");
}

// ---- navigations and loads --------------------------------------------------------------------

void StudyRun::TopLevelNavigation(const std::string& address) {
  const StatusUpdate update(*this);
  if (retryCall_) {
    Diagnose("a navigation of the page's or the student's takes the place of the waiting reload");
    CancelRetry();
  }
  if (IsChapterPage(address)) studyPage_ = address;
  if (!armed()) return;
  if (!ownNavigation_.empty() && address == std::exchange(ownNavigation_, {})) return;
  // A chapter page arms the run again; the login page is a sign-out once it is shown.
  if (IsChapterPage(address) || IsLoginPage(address)) return;
  Diagnose("the student left the study pages for " + address + ": the run waits for them");
  study_journal::RunLeftByStudent(address);
  WaitForStudent(Phase::kLeftByStudent);
}

void StudyRun::LoadStarted(const std::string& address, bool topLevel) {
  if (topLevel) {
    // A new top-level page replaces every frame and whatever they were loading, and what was to
    // be read of the page before.
    ForgetAllLoads();
    clock_.Cancel(std::exchange(readCall_, 0));
    pageAddress_ = address;
    failedSinceTopStart_ = false;
  }
  const std::string key = topLevel ? kTopLevelKey : FrameKey(address);
  WatchLoad(key, address);
}

void StudyRun::LoadFinished(const std::string& address, bool topLevel) {
  const StatusUpdate update(*this);
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
  if (topLevel) pageAddress_ = address;
  // At top level or in a frame, redirected there or broken out of the frames: the site wants a
  // login before anything else.
  if (IsLoginPage(address) && armed()) return SignedOut(address);
  if (topLevel && toCourseList_ && armed() && !failedSinceTopStart_) {
    // Read once the page has settled, outside the engine's event.
    clock_.Cancel(readCall_);
    readCall_ = clock_.After(std::chrono::milliseconds(500), [this] {
      readCall_ = 0;
      const StatusUpdate afterReading(*this);
      ReadCourseList();
    });
  }
}

void StudyRun::LoadFailed(const std::string& address, bool topLevel, const std::string& why) {
  const StatusUpdate update(*this);
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
  failedSinceTopStart_ = true;
  Failed(address, why);
}

void StudyRun::LoadStopped(const std::string& address, bool topLevel) {
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
}

void StudyRun::WatchLoad(const std::string& key, const std::string& address) {
  ForgetLoad(key);
  loadWatches_[key] = clock_.After(timings_.neverEndingLoad,
                                   [this, key, address] { LoadNeverEnded(key, address); });
}

void StudyRun::ForgetLoad(const std::string& key) {
  auto it = loadWatches_.find(key);
  if (it == loadWatches_.end()) return;
  clock_.Cancel(it->second);
  loadWatches_.erase(it);
}

void StudyRun::ForgetAllLoads() {
  for (const auto& [key, call] : loadWatches_) clock_.Cancel(call);
  loadWatches_.clear();
}

void StudyRun::LoadNeverEnded(const std::string& key, const std::string& address) {
  const StatusUpdate update(*this);
  loadWatches_.erase(key);
  // Outside a study run a slow page is the student's to wait for.
  if (!armed()) return;
  const std::string why = "still loading after " + Seconds(timings_.neverEndingLoad) + " s";
  Diagnose(why + ", stopped: " + address);
  if (!browser_.StopLoading()) {
    // A script that spins while the page is parsed holds its process; only ending it stops that.
    processEndReason_ = "it did not finish loading";
    browser_.EndPageProcess();
  }
  failedSinceTopStart_ = true;
  Failed(address, why);
}

// ---- failures and reloads ---------------------------------------------------------------------

std::string StudyRun::StudyPage() const {
  if (toCourseList_) return std::string(site::CourseListUrl);
  if (!studyPage_.empty()) return studyPage_;
  if (!pageAddress_.empty()) return pageAddress_;
  return GbkToUtf8(browser_.GetLocationURL());
}

void StudyRun::BeginEpisode() {
  if (failing_) {
    // A page lost again before it was seen studying: the student is told in time all the same.
    const auto told = failingSince_ + timings_.longFailure - clock_.Now();
    unattended_.PageFailing(std::max(std::chrono::milliseconds(0),
                                     std::chrono::duration_cast<std::chrono::milliseconds>(told)));
    return;
  }
  failing_ = true;
  failingSince_ = clock_.Now();
  nextWait_ = timings_.firstRetry;
  unattended_.PageFailing(timings_.longFailure);
}

void StudyRun::Failed(const std::string& address, const std::string& why) {
  if (stopped_) return;
  if (!armed()) {
    Diagnose("not studying, a failed load is left as it is: " + address + " (" + why + ")");
    return;
  }
  if (!failureJournaled_) {
    failureJournaled_ = true;
    study_journal::PageFailedToLoad(address, why);
  } else {
    Diagnose("page failed to load again: " + address + " (" + why + ")");
  }
  BeginEpisode();
  ScheduleRetry();
}

void StudyRun::ReloadPaced(const std::string& why) {
  const bool repeat =
      failing_ || (lastPacedReload_ && clock_.Now() - *lastPacedReload_ < timings_.reloadMemory);
  BeginEpisode();
  lastPacedReload_ = clock_.Now();
  if (!repeat) {
    Diagnose("loading " + StudyPage() + " again at once (" + why + ")");
    return LoadAgain(StudyPage());
  }
  ScheduleRetry();
}

void StudyRun::ScheduleRetry() {
  if (retryCall_) return;
  Diagnose("loading " + StudyPage() + " again in " + Seconds(nextWait_) + " s");
  retryDue_ = clock_.Now() + nextWait_;
  retryCall_ = clock_.After(nextWait_, [this] { Retry(); });
  nextWait_ = std::min(nextWait_ * 2, timings_.longestRetry);
}

void StudyRun::Retry() {
  const StatusUpdate update(*this);
  retryCall_ = 0;
  if (!armed()) return;
  Diagnose("loading again: " + StudyPage());
  LoadAgain(StudyPage());
}

void StudyRun::CancelRetry() {
  clock_.Cancel(std::exchange(retryCall_, 0));
}

void StudyRun::SignedOut(const std::string& address) {
  // Loading the study page again would only land here again: the student has to log in.
  WaitForStudent(Phase::kSignedOut);
  study_journal::SignedOutBySite(address);
  unattended_.SignedOut();
}

void StudyRun::CertificateRejected(const std::string& address, const std::string& host,
                                   unsigned problems) {
  const StatusUpdate update(*this);
  ForgetLoad(kTopLevelKey);
  // The page before stays in view, and is no page of the load that was asked for.
  failedSinceTopStart_ = true;
  if (!armed()) return Diagnose("not studying, a refused certificate is the student's: " + address);
  // Loading the page again would meet the same certificate: it is no outage to wait out.
  WaitForStudent(Phase::kCertificateRejected);
  study_journal::CertificateRejected(host, problems);
  unattended_.CertificateRejected();
}

void StudyRun::LoadAgain(const std::string& address) {
  browser_.LoadAgain(Utf8ToGbk(address));
  // On the course list there is no cycle to start: its load is read when it ends.
  if (armed() && !toCourseList_) cycle_.RestartFromChapterList();
}

// ---- every course -----------------------------------------------------------------------------

void StudyRun::CourseDone() {
  study_journal::CourseFinished(studyPage_, completedInCourse_);
  finishedCourses_.insert(studyPage_);
  cycle_.StopCycle();
  toCourseList_ = true;
  chapterOpen_ = false;
  WatchForLife();
  ownNavigation_ = std::string(site::CourseListUrl);
  cycle_.OpenPage(ownNavigation_);
}

void StudyRun::ReadCourseList() {
  if (!armed() || !toCourseList_ || failedSinceTopStart_) return;
  const auto courses = course_list::ReadCourses(browser_);
  if (!courses) {
    // A page without a single link is no course list: a maintenance notice, an error page.
    failedSinceTopStart_ = true;
    return Failed(GbkToUtf8(browser_.GetLocationURL()), "no course list");
  }
  for (std::size_t i = 0; i < courses->size(); ++i)
    if (!finishedCourses_.contains((*courses)[i]))
      return OpenCourse((*courses)[i], static_cast<int>(i) + 1, static_cast<int>(courses->size()));
  Diagnose("every course on the course list is finished");
  toCourseList_ = false;
  End();
}

void StudyRun::OpenCourse(const std::string& address, int index, int count) {
  toCourseList_ = false;
  course_ = index;
  courses_ = count;
  completedInCourse_ = 0;
  unfinishedListed_ = 0;
  study_journal::CourseOpened(address, index, count);
  studyPage_ = ownNavigation_ = address;
  cycle_.OpenPage(address);
}

// ---- the status line --------------------------------------------------------------------------

void StudyRun::PublishStatus() {
  if (stopped_) return;
  const State now = state();
  if (now != shownState_ || shownSince_ == 0) {
    shownState_ = now;
    shownSince_ = now == State::kNotStarted ? 0 : std::time(nullptr);
  }
  RunStatus status;
  status.state = now;
  status.since = shownSince_;
  if (chapterOpen_ && !toCourseList_) {
    status.chapter = completedInCourse_ + 1;
    status.chapters =
        completedInCourse_ + static_cast<int>(std::max<std::size_t>(unfinishedListed_, 1));
  }
  if (courses_ > 0) {
    status.course = course_;
    status.courses = courses_;
  }
  if (now == State::kWaitingForSite) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(retryDue_ - clock_.Now());
    status.secondsToNextAttempt = static_cast<int>(std::max<long long>(left.count(), 0));
    // The count goes down by the second; nothing of the page is read for it.
    if (!statusTick_)
      statusTick_ = clock_.After(std::chrono::seconds(1), [this] {
        statusTick_ = 0;
        PublishStatus();
      });
  }
  std::string text = DescribeRun(status);
  if (text == shownText_) return;
  shownText_ = std::move(text);
  cycle_.ShowStatus(shownText_);
}

// ---- a page that does not answer, or whose process ended -------------------------------------

void StudyRun::AnsweringChanged(bool answering) {
  answering_ = answering;
  if (answering) {
    clock_.Cancel(std::exchange(hungCall_, 0));
    return;
  }
  if (hungCall_ || stopped_) return;
  hungCall_ = clock_.After(timings_.hungPage, [this] { EndHungPage(); });
}

void StudyRun::EndHungPage() {
  hungCall_ = 0;
  if (answering_ || stopped_) return;
  processEndReason_ = "it stopped answering";
  browser_.EndPageProcess();
}

void StudyRun::PageProcessEnded(PageProcessEnd why) {
  const StatusUpdate update(*this);
  const char* reason = why == PageProcessEnd::kOutOfMemory ? "its web process ran out of memory"
                       : why == PageProcessEnd::kEndedByProgram && processEndReason_
                           ? processEndReason_
                           : "its web process ended";
  processEndReason_ = nullptr;
  answering_ = true;
  clock_.Cancel(std::exchange(hungCall_, 0));
  ForgetAllLoads();
  if (stopped_) return;
  if (retryCall_) {
    Diagnose(std::string("the page's process ended (") + reason +
             "); the waiting reload brings it back");
    return;
  }
  const std::string address = GbkToUtf8(browser_.GetLocationURL());
  if (!armed()) {
    // Brought back once; a page that keeps losing its process is left to the student, with the
    // engine's own words for it.
    const auto now = clock_.Now();
    if (lastLostOutsideRun_ && now - *lastLostOutsideRun_ < timings_.lostPageMemory) {
      Diagnose(std::string("the page's process ended again (") + reason + "): left as it is");
      return;
    }
    lastLostOutsideRun_ = now;
    if (address.empty()) return;
    study_journal::PageRecovered(address, reason);
    return LoadAgain(address);
  }
  study_journal::PageRecovered(StudyPage(), reason);
  ReloadPaced(reason);
}

}  // namespace larkwend
