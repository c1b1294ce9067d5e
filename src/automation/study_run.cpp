// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/study_run.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <utility>

#include "automation/course_list.h"
#include "automation/site_pages.h"
#include "automation/study_journal.h"
#include "platform/diagnostics.h"
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

using site_pages::IsChapterPage;
using site_pages::IsLoginPage;

// A completion that did not take is pressed again this often before the student is told.
constexpr int kCompletionRetries = 3;

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

StudyRun::StudyRun(Clock& clock, DesktopSession& session, StudyCycle& cycle,
                   StudyRunTimings timings)
    : clock_(clock), cycle_(cycle), timings_(timings), unattended_(session, clock) {}

StudyRun::~StudyRun() {
  Stop();
}

void StudyRun::Stop() {
  Become(Closed{});
  unattended_.Stop();
  clock_.Cancel(std::exchange(lifeCall_, 0));
  clock_.Cancel(std::exchange(hungCall_, 0));
  clock_.Cancel(std::exchange(readCall_, 0));
  clock_.Cancel(std::exchange(statusTick_, 0));
  clock_.Cancel(std::exchange(restartCall_, 0));
  ForgetAllLoads();
}

StudyRun::State StudyRun::state() const {
  using Reason = WaitingForStudent::Reason;
  if (std::holds_alternative<Studying>(phase_)) return State::kStudying;
  if (waitingForSite()) return State::kWaitingForSite;
  if (std::holds_alternative<Ended>(phase_) || closed()) return State::kEnded;
  const auto* waiting = std::get_if<WaitingForStudent>(&phase_);
  if (!waiting) return State::kNotStarted;
  switch (waiting->why) {
    case Reason::kSignedOut:
      return State::kSignedOut;
    case Reason::kCertificateRejected:
      return State::kCertificateRejected;
    case Reason::kLeftByStudent:
      return State::kLeftByStudent;
    case Reason::kNothingLeft:
      return State::kNothingLeft;
    case Reason::kVideoCannotPlay:
      return State::kVideoCannotPlay;
    case Reason::kCompletionRefused:
      return State::kCompletionRefused;
  }
  return State::kNotStarted;
}

std::optional<Clock::TimePoint> StudyRun::nextAttempt() const {
  if (const auto* waiting = std::get_if<WaitingForSite>(&phase_)) return waiting->until;
  return std::nullopt;
}

void StudyRun::Become(Phase next) {
  if (auto* waiting = std::get_if<WaitingForSite>(&phase_)) clock_.Cancel(waiting->attempt);
  phase_ = std::move(next);
}

StudyRun::ArmedState* StudyRun::ArmedPhase() {
  if (auto* studying = std::get_if<Studying>(&phase_)) return studying;
  return std::get_if<WaitingForSite>(&phase_);
}

const StudyRun::ArmedState* StudyRun::ArmedPhase() const {
  if (const auto* studying = std::get_if<Studying>(&phase_)) return studying;
  return std::get_if<WaitingForSite>(&phase_);
}

// ---- the run's life ---------------------------------------------------------------------------

void StudyRun::Armed() {
  const StatusUpdate update(*this);
  if (closed()) return;
  if (!armed()) {
    Become(Studying{});
    // A failed load is the run's to handle now; the engine's error page would only be read.
    // Pages that pause their video when the window loses the focus study on behind others.
    cycle_.PagesForARun(true);
    // The student may have mended what kept a video from playing, or the completion.
    videoFailures_.clear();
    completionsNotTaken_.clear();
    pressedChapter_.clear();
    // Arming again, as every load of the program's own does, is no sign of studying.
    WatchForLife();
  }
  if (const std::string location = cycle_.PageAddress(); IsChapterPage(location))
    studyPage_ = location;
  unattended_.KeepAwake();
}

void StudyRun::WaitForStudent(WaitingForStudent wait) {
  const auto* waiting = std::get_if<WaitingForStudent>(&phase_);
  if (waiting && waiting->why == wait.why) return;
  StopStudying(wait);
}

// Whatever the run was doing, the failures it was waiting out, and the walk's move to the course
// list or to a course, are over with it.
void StudyRun::StopStudying(Phase next) {
  Become(std::move(next));
  clock_.Cancel(std::exchange(lifeCall_, 0));
  ownNavigation_.clear();
  sitesNavigation_ = false;
  clock_.Cancel(std::exchange(readCall_, 0));
  cycle_.PagesForARun(false);
  unattended_.LetSleep();
}

bool StudyRun::ChapterListRead(const std::vector<std::string>& unfinished) {
  const StatusUpdate update(*this);
  const auto* waiting = std::get_if<WaitingForStudent>(&phase_);
  const bool nothingLeft = waiting && waiting->why == WaitingForStudent::Reason::kNothingLeft;
  if (!armed() && !(nothingLeft && !unfinished.empty())) return false;
  if (failing()) {
    // The site answers with its list again: the student need not hear of the failure, though
    // the episode lasts until a chapter is seen studying, so a page lost again keeps its pace.
    unattended_.PageAnswers();
    FailureEpisode& episode = *ArmedPhase()->episode;
    if (std::exchange(episode.journaled, false)) {
      const auto down =
          std::chrono::duration_cast<std::chrono::milliseconds>(clock_.Now() - episode.since);
      study_journal::PageLoadedAgain(Seconds(down), pageAddress_);
    }
  }
  courseFailingSince_.reset();
  if (unfinished.size() < unfinishedListed_) SignOfLife();  // the list shows a chapter finished
  if (!pressedChapter_.empty() && !CompletionTook(unfinished)) return false;
  if (!unfinished.empty()) {
    unfinishedListed_ = unfinished.size();
    if (nothingLeft) Armed();  // the list has work again
    return true;
  }
  if (cycle_.StudiesEveryCourse()) {
    CourseDone();
    return false;
  }
  Diagnose("the chapter list holds no unfinished chapter: waiting for the student");
  WaitForStudent({WaitingForStudent::Reason::kNothingLeft});
  return false;
}

bool StudyRun::CompletionTook(const std::vector<std::string>& unfinished) {
  const std::string chapter = std::exchange(pressedChapter_, {});
  if (std::find(unfinished.begin(), unfinished.end(), chapter) == unfinished.end()) {
    completionsNotTaken_.erase(chapter);
    SignOfLife();
    return true;
  }
  // Still unfinished: the site refused it, or lost it. The cycle opens it again and, the chapter
  // being at its level, presses again.
  const int notTaken = ++completionsNotTaken_[chapter];
  study_journal::CompletionNotTaken(chapter, notTaken, kCompletionRetries);
  if (notTaken <= kCompletionRetries) return true;
  cycle_.StopCycle();
  WaitForStudent({WaitingForStudent::Reason::kCompletionRefused});
  unattended_.CompletionRefused();
  return false;
}

void StudyRun::NotAChapterPage(const std::string& address, Why why) {
  const StatusUpdate update(*this);
  if (!armed()) return;
  // What it shows stays unread until the page is loaded again.
  failedSinceTopStart_ = true;
  Failed(address, {why});
}

void StudyRun::LoginFormShown(const std::string& address) {
  const StatusUpdate update(*this);
  if (armed()) SignedOut(address);
}

void StudyRun::ChapterOpened(const std::string&) {
  const StatusUpdate update(*this);
  // Opening a chapter is the program's own doing, no sign that the student studies.
  chapterOpen_ = true;
}

void StudyRun::ProgressRead(const std::string& progress) {
  const StatusUpdate update(*this);
  PageProven();
  if (progress != std::exchange(progressShown_, progress)) SignOfLife();
}

void StudyRun::ChapterCompleted(const std::string& address) {
  const StatusUpdate update(*this);
  // Pressed is not done: the list says at its next read whether the site took it.
  if (completionsNotTaken_.contains(address)) --completedInCourse_;
  ++completedInCourse_;
  pressedChapter_ = address;
}

void StudyRun::PageRefreshed() {
  // The page comes back as the site serves it, which need not be the chapter that stood still.
  if (armed()) cycle_.RestartFromChapterList();
}

void StudyRun::NoChapterLeft() {
  const StatusUpdate update(*this);
  if (closed()) return;
  if (armed() && cycle_.StudiesEveryCourse()) return CourseDone();
  End();
}

void StudyRun::End() {
  if (!std::holds_alternative<Ended>(phase_)) StopStudying(Ended{});
  unattended_.Ended();
  cycle_.AnnounceEnd();
}

void StudyRun::SignOfLife() {
  if (armed()) WatchForLife();
}

void StudyRun::PageProven() {
  if (!failing()) return;
  ArmedPhase()->episode.reset();
  unattended_.PageBack();
}

void StudyRun::NothingDecided() {
  if (!armed() || waitingForSite() || clock_.Now() - lastLife_ < timings_.noProgress) return;
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
  if (!armed()) return;
  // The watch goes on from here: what the run does now is no sign of studying either.
  WatchForLife();
  // Waiting for the site is a wait with a known end.
  if (waitingForSite()) return;
  const auto minutes = std::chrono::duration_cast<std::chrono::minutes>(timings_.noProgress);
  study_journal::NoProgress(static_cast<int>(minutes.count()));
  ReloadPaced({Why::kNoProgress, 0, Seconds(timings_.noProgress)});
}

// ---- navigations and loads --------------------------------------------------------------------

void StudyRun::TopLevelNavigation(const std::string& address, bool byStudent) {
  const StatusUpdate update(*this);
  if (auto* waiting = std::get_if<WaitingForSite>(&phase_)) {
    Diagnose("a navigation of the page's or the student's takes the place of the waiting reload");
    Become(Studying{*waiting});
  }
  sitesNavigation_ = false;
  if (IsChapterPage(address)) studyPage_ = address;
  if (!armed()) return;
  if (!ownNavigation_.empty() && address == std::exchange(ownNavigation_, {})) return;
  // A chapter page arms the run again; the login page is a sign-out once it is shown.
  if (IsChapterPage(address) || IsLoginPage(address)) return;
  if (!byStudent) {
    // An evaluation the site opens, a page its script moves to: seen once it has loaded.
    Diagnose("the site itself goes to " + address);
    sitesNavigation_ = true;
    return;
  }
  Diagnose("the student left the study pages for " + address + ": the run waits for them");
  study_journal::RunLeftByStudent(address);
  WaitForStudent({WaitingForStudent::Reason::kLeftByStudent});
}

void StudyRun::LoadStarted(const std::string& address, bool topLevel) {
  if (topLevel) {
    // A new top-level page replaces every frame and whatever they were loading, and what was to
    // be read of the page before.
    ForgetAllLoads();
    clock_.Cancel(std::exchange(readCall_, 0));
    ++pageLoads_;
    pageAddress_ = address;
    failedSinceTopStart_ = false;
  }
  if (topLevel) otherFrameFailureJournaled_ = false;
  // A frame of another's that never ends keeps nothing from being read.
  if (!OwnFrame(address, topLevel)) return;
  WatchLoad(topLevel ? kTopLevelKey : FrameKey(address), address);
}

void StudyRun::LoadFinished(const std::string& address, bool topLevel) {
  const StatusUpdate update(*this);
  ForgetLoad(topLevel ? kTopLevelKey : FrameKey(address));
  if (topLevel) pageAddress_ = address;
  // At top level or in a frame, redirected there or broken out of the frames: the site wants a
  // login before anything else.
  if (IsLoginPage(address) && armed()) return SignedOut(address);
  if (topLevel && std::exchange(sitesNavigation_, false) && armed() && !IsChapterPage(address)) {
    // Not the student's leaving: the run goes back to its study page, with the usual waits.
    study_journal::SitesOwnPage(address);
    failedSinceTopStart_ = true;
    return WaitAndLoadAgain(/*told=*/true);
  }
  if (topLevel && toCourseList() && !failedSinceTopStart_) {
    // Read once the page has settled, outside the engine's event.
    clock_.Cancel(readCall_);
    readCall_ = clock_.After(std::chrono::milliseconds(500), [this] {
      readCall_ = 0;
      const StatusUpdate afterReading(*this);
      ReadCourseList();
    });
  }
}

void StudyRun::LoadFailed(const LoadFailure& failure) {
  const StatusUpdate update(*this);
  const std::string& address = failure.address;
  ForgetLoad(failure.topLevel ? kTopLevelKey : FrameKey(address));
  if (!OwnFrame(address, failure.topLevel)) {
    // A player, an advert, another site's frame: the study page is whole without it.
    if (armed() && !std::exchange(otherFrameFailureJournaled_, true))
      study_journal::OtherFrameFailed(address, failure.httpStatus);
    return;
  }
  // An answer of the study platform's that asks for credentials says what the login form would:
  // the session is gone, and loading the page again cannot bring it back.
  if (failure.httpStatus == 401 && site_pages::IsStudyPlatform(address)) {
    if (armed()) SignedOut(address);
    return;
  }
  failedSinceTopStart_ = true;
  Failed(address, failure.httpStatus ? Failure{Why::kHttpStatus, failure.httpStatus, {}}
                                     : Failure{Why::kNetworkError, 0, failure.networkError});
}

bool StudyRun::OwnFrame(const std::string& address, bool topLevel) const {
  // Off the chapter pages (the course list, a page of the site's) every frame is the page's own.
  return topLevel || !IsChapterPage(pageAddress_) ||
         site_pages::FrameOf(address) != site_pages::ChapterFrame::kNone || IsLoginPage(address);
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
  const Failure why{Why::kStillLoading, 0, Seconds(timings_.neverEndingLoad)};
  Diagnose(InEnglish(why) + ", stopped: " + address);
  if (!cycle_.StopLoading()) {
    // A script that spins while the page is parsed holds its process; only ending it stops that.
    processEndReason_ = Why::kNeverFinishedLoading;
    cycle_.EndPageProcess();
  }
  failedSinceTopStart_ = true;
  Failed(address, why);
}

// ---- failures and reloads ---------------------------------------------------------------------

std::string StudyRun::StudyPage() const {
  if (toCourseList()) return std::string(site::CourseListUrl);
  if (!studyPage_.empty()) return studyPage_;
  if (!pageAddress_.empty()) return pageAddress_;
  return cycle_.PageAddress();
}

StudyRun::FailureEpisode& StudyRun::BeginEpisode() {
  std::optional<FailureEpisode>& episode = ArmedPhase()->episode;
  if (episode) {
    // A page lost again before it was seen studying: the student is told in time all the same.
    const auto told = episode->since + timings_.longFailure - clock_.Now();
    unattended_.PageFailing(std::max(std::chrono::milliseconds(0),
                                     std::chrono::duration_cast<std::chrono::milliseconds>(told)));
    return *episode;
  }
  episode = FailureEpisode{clock_.Now(), timings_.firstRetry};
  unattended_.PageFailing(timings_.longFailure);
  return *episode;
}

void StudyRun::Failed(const std::string& address, const Failure& why) {
  if (closed()) return;
  if (!armed()) {
    Diagnose("not studying, a failed load is left as it is: " + address + " (" + InEnglish(why) +
             ")");
    return;
  }
  const bool told = failing() && ArmedPhase()->episode->journaled;
  if (!told)
    study_journal::PageFailedToLoad(address, why);
  else
    Diagnose("page failed to load again: " + address + " (" + InEnglish(why) + ")");
  WaitAndLoadAgain(/*told=*/true);
}

void StudyRun::WaitAndLoadAgain(bool told) {
  BeginEpisode().journaled |= told;
  if (!courseFailingSince_) courseFailingSince_ = clock_.Now();
  ScheduleRetry();
}

void StudyRun::ReloadPaced(const Failure& why) {
  const bool repeat =
      failing() || (lastPacedReload_ && clock_.Now() - *lastPacedReload_ < timings_.reloadMemory);
  BeginEpisode();
  lastPacedReload_ = clock_.Now();
  if (!repeat) {
    Diagnose("loading " + StudyPage() + " again at once (" + InEnglish(why) + ")");
    return LoadAgain(StudyPage());
  }
  ScheduleRetry();
}

void StudyRun::ScheduleRetry() {
  auto* studying = std::get_if<Studying>(&phase_);
  if (!studying) return;
  const auto wait = studying->episode->nextWait;
  Diagnose("loading " + StudyPage() + " again in " + Seconds(wait) + " s");
  WaitingForSite waiting{*studying, clock_.Now() + wait, clock_.After(wait, [this] { Retry(); })};
  waiting.episode->nextWait = std::min(wait * 2, timings_.longestRetry);
  Become(std::move(waiting));
}

void StudyRun::Retry() {
  const StatusUpdate update(*this);
  auto* waiting = std::get_if<WaitingForSite>(&phase_);
  if (!waiting) return;
  waiting->attempt = 0;
  Become(Studying{*waiting});
  // A course of the walk whose chapter list has not been read for long is left for now.
  if (course_ > 0 && !toCourseList() && courseFailingSince_ &&
      clock_.Now() - *courseFailingSince_ >= timings_.longFailure)
    return PassOverCourse();
  Diagnose("loading again: " + StudyPage());
  LoadAgain(StudyPage());
}

void StudyRun::SignedOut(const std::string& address) {
  // Loading the study page again would only land here again: the student has to log in.
  WaitForStudent({WaitingForStudent::Reason::kSignedOut});
  study_journal::SignedOutBySite(address);
  unattended_.SignedOut();
}

void StudyRun::MediaFailed(const MediaFailure& failure) {
  const StatusUpdate update(*this);
  if (!armed()) {
    Diagnose("not studying, a video that failed is left as it is: " + failure.address);
    return;
  }
  VideoFailures& failures = videoFailures_[failure.address];
  if (!std::exchange(failures.journaled, true))
    study_journal::VideoCannotPlay(failure.address, failure.fault, failure.httpStatus);
  else
    Diagnose("a video failed again: " + failure.address + " (" + failure.source + ")");
  if (failure.fault == MediaFault::kNetwork || failure.fault == MediaFault::kNotFound) {
    // The site's fault: it may mend, so the page is loaded again with the failed loads' waits
    // (the line above said it; the episode's first line would only say it again).
    failedSinceTopStart_ = true;
    return WaitAndLoadAgain(/*told=*/true);
  }
  // No reload brings a decoder: one tells it was no passing fault, then the student decides.
  // Several videos of one page, or one the page tries again itself, are one failure.
  if (std::exchange(failures.lastPageLoad, pageLoads_) == pageLoads_) return;
  if (++failures.cannotPlay < 2) return ReloadPaced({Why::kVideoCannotPlay});
  Diagnose("the video cannot play after the page was loaded again: the run waits for the student");
  cycle_.StopCycle();
  WaitForStudent({WaitingForStudent::Reason::kVideoCannotPlay, failure.fault});
  unattended_.VideoCannotPlay();
}

void StudyRun::CertificateRejected(const std::string& address, const std::string& host,
                                   unsigned problems) {
  const StatusUpdate update(*this);
  ForgetLoad(kTopLevelKey);
  // The page before stays in view, and is no page of the load that was asked for.
  failedSinceTopStart_ = true;
  if (!armed()) return Diagnose("not studying, a refused certificate is the student's: " + address);
  // Loading the page again would meet the same certificate: it is no outage to wait out.
  WaitForStudent({WaitingForStudent::Reason::kCertificateRejected});
  study_journal::CertificateRejected(host, problems);
  unattended_.CertificateRejected();
}

void StudyRun::LoadAgain(const std::string& address) {
  sitesNavigation_ = false;
  cycle_.LoadAgain(address);
  // On the course list there is no cycle to start: its load is read when it ends. The cycle
  // arms the run again, so it starts once the event that loads the page is over, never inside.
  clock_.Cancel(restartCall_);
  restartCall_ = clock_.After(std::chrono::milliseconds(0), [this] {
    restartCall_ = 0;
    if (armed() && !toCourseList()) cycle_.RestartFromChapterList();
  });
}

// ---- every course -----------------------------------------------------------------------------

void StudyRun::CourseDone() {
  study_journal::CourseFinished(studyPage_, completedInCourse_);
  finishedCourses_.Add(studyPage_);
  GoToCourseList();
}

void StudyRun::PassOverCourse() {
  study_journal::CoursePassedOver(studyPage_);
  passedOver_.Add(studyPage_);
  courseFailingSince_.reset();
  if (armed()) ArmedPhase()->episode.reset();
  GoToCourseList();
}

void StudyRun::GoToCourseList() {
  cycle_.StopCycle();
  if (armed()) ArmedPhase()->toCourseList = true;
  chapterOpen_ = false;
  ownNavigation_ = std::string(site::CourseListUrl);
  cycle_.OpenPage(ownNavigation_);
}

void StudyRun::ReadCourseList() {
  if (!toCourseList() || failedSinceTopStart_) return;
  const auto courses = cycle_.ReadCourses();
  if (!courses || courses->empty()) {
    // A page without a single course link is no course list: a maintenance notice, an error
    // page, a login form. It never ends the run.
    failedSinceTopStart_ = true;
    return Failed(cycle_.PageAddress(), {Why::kNoCourseList});
  }
  for (const std::string& name : course_list::ChangingParameters(lastCourseList_, *courses))
    changingParameters_.insert(name);
  lastCourseList_ = *courses;
  for (int round = 0; round < 2; ++round) {
    for (std::size_t i = 0; i < courses->size(); ++i) {
      const std::string& course = (*courses)[i];
      if (!finishedCourses_.Contains(course, *courses, changingParameters_) &&
          !passedOver_.Contains(course, *courses, changingParameters_))
        return OpenCourse(course, static_cast<int>(i) + 1, static_cast<int>(courses->size()));
    }
    // Only courses passed over are left: they are tried again before the run can end.
    if (passedOver_.empty()) break;
    Diagnose("only courses passed over are left: trying them again");
    passedOver_.clear();
  }
  Diagnose("every course on the course list is finished");
  End();
}

void StudyRun::OpenCourse(const std::string& address, int index, int count) {
  ArmedPhase()->toCourseList = false;
  course_ = index;
  courses_ = count;
  completedInCourse_ = 0;
  unfinishedListed_ = 0;
  // Courses write their chapters' links alike: a completion pressed in the last course, which
  // its list never read again, says nothing of this one's chapters.
  pressedChapter_.clear();
  completionsNotTaken_.clear();
  courseFailingSince_.reset();
  study_journal::CourseOpened(address, index, count);
  studyPage_ = ownNavigation_ = address;
  cycle_.OpenPage(address);
}

// ---- the status line --------------------------------------------------------------------------

void StudyRun::PublishStatus() {
  if (closed()) return;
  const State now = state();
  if (now != shownState_ || shownSince_ == 0) {
    shownState_ = now;
    shownSince_ = now == State::kNotStarted ? 0 : std::time(nullptr);
  }
  RunStatus status;
  status.state = now;
  status.since = shownSince_;
  if (chapterOpen_ && !toCourseList()) {
    status.chapter = completedInCourse_ + 1;
    status.chapters =
        completedInCourse_ + static_cast<int>(std::max<std::size_t>(unfinishedListed_, 1));
  }
  if (courses_ > 0) {
    status.course = course_;
    status.courses = courses_;
  }
  if (const auto* waiting = std::get_if<WaitingForStudent>(&phase_))
    status.videoFault = waiting->videoFault;
  if (const auto* waiting = std::get_if<WaitingForSite>(&phase_)) {
    const auto left = std::chrono::ceil<std::chrono::seconds>(waiting->until - clock_.Now());
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
  if (hungCall_ || closed()) return;
  hungCall_ = clock_.After(timings_.hungPage, [this] { EndHungPage(); });
}

void StudyRun::EndHungPage() {
  hungCall_ = 0;
  if (answering_ || closed()) return;
  processEndReason_ = Why::kStoppedAnswering;
  cycle_.EndPageProcess();
}

void StudyRun::PageProcessEnded(PageProcessEnd why) {
  const StatusUpdate update(*this);
  const Failure reason{why == PageProcessEnd::kOutOfMemory ? Why::kOutOfMemory
                       : why == PageProcessEnd::kEndedByProgram && processEndReason_
                           ? *processEndReason_
                           : Why::kProcessEnded};
  processEndReason_.reset();
  answering_ = true;
  clock_.Cancel(std::exchange(hungCall_, 0));
  ForgetAllLoads();
  if (closed()) return;
  if (waitingForSite()) {
    Diagnose("the page's process ended (" + InEnglish(reason) +
             "); the waiting reload brings it back");
    return;
  }
  const std::string address = cycle_.PageAddress();
  if (!armed()) {
    // Brought back once; a page that keeps losing its process is left to the student, with the
    // engine's own words for it.
    const auto now = clock_.Now();
    if (lastLostOutsideRun_ && now - *lastLostOutsideRun_ < timings_.lostPageMemory) {
      Diagnose("the page's process ended again (" + InEnglish(reason) + "): left as it is");
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
