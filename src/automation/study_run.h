// SPDX-License-Identifier: GPL-3.0-or-later
// The study run: from the arming on a chapter page to its end, one object owns what happens to
// it. At every moment an armed run is doing one of these:
//   - studying: a chapter was opened, its progress read or a chapter completed lately;
//   - waiting for the site, with the next attempt to load the study page due at a known time;
//   - waiting for the student: signed out by the site, left by the student's own navigation,
//     or nothing left in its course;
//   - ended, with the end message.
// Whatever was not foreseen falls under one rule: a run that shows no sign of studying for
// `noProgress`, and is not waiting for anything known, loads the study page again.
//
// The window's timers stay the window's: it forwards the browser's facts and what its ticks
// found, and the run asks it back through `StudyCycle` alone. The rules the run keeps:
//   - a load that failed (an error status, a network error), that has not ended after
//     `neverEndingLoad`, or a page that is no chapter page (no frames, a list frame without one
//     chapter entry) is never read: the study page is loaded again after `firstRetry`, then
//     after twice the last wait, up to `longestRetry`;
//   - a page that has not answered for `hungPage` is ended; a lost page is loaded again at once,
//     and again within `reloadMemory` only after the same growing waits;
//   - every load the program makes by itself starts the run over from the chapter list;
//   - the portal's login page or its login form, by whatever road, means signed out: the run
//     waits for the student, who logs in and opens a chapter page again;
//   - a chapter's video that the site failed to deliver is a failed load; one that this machine
//     cannot play (no decoder for its format, data it cannot decode) is loaded again once, and
//     then left to the student, who is told why;
//   - while armed, the pages never see the window lose the focus;
//   - a page refused for its certificate is never loaded again by the run: the student decides
//     whether to trust the certificate, and the page loaded again arms the run again;
//   - the machine is kept awake only while the run studies or waits for the site;
//   - when the student asked for every course, a course with nothing left is not the end: the
//     run goes to the course list and opens the next course it has not finished, in list order,
//     and the end comes once, after the last.
// What it is doing is said on the window's status line as it changes (run_status.h).
// Addresses are UTF-8, as the browser reports them.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

#include "automation/course_list.h"
#include "automation/run_failure.h"
#include "automation/run_status.h"
#include "automation/unattended_run.h"
#include "platform/browser_control.h"
#include "platform/clock.h"
#include "platform/desktop_session.h"

namespace larkwend {

struct StudyRunTimings {
  std::chrono::milliseconds hungPage{25000};
  std::chrono::milliseconds neverEndingLoad{60000};
  std::chrono::milliseconds firstRetry{5000};
  std::chrono::milliseconds longestRetry{60000};
  // With no chapter opened, no progress read and no completion for this long, and nothing known
  // to wait for, the study page is loaded again.
  std::chrono::milliseconds noProgress{std::chrono::minutes(5)};
  // A lost page loaded again within this of the last such reload waits as a failed load does.
  std::chrono::milliseconds reloadMemory{std::chrono::minutes(10)};
  // The student is told when the study page has not come back for this long.
  std::chrono::milliseconds longFailure{std::chrono::minutes(10)};
  // Outside a run a lost page is loaded again once; lost again within this, it is left as it is.
  std::chrono::milliseconds lostPageMemory{std::chrono::minutes(1)};
};

// The study run's one door to the window whose timers run the study cycle, and through it to the
// page. Addresses are UTF-8.
class StudyCycle {
 public:
  // Starts the cycle over from the chapter list, as on arriving at a chapter page.
  virtual void RestartFromChapterList() = 0;
  // Stops the cycle's timers: the run moves on to another course, or waits for the student.
  virtual void StopCycle() = 0;
  // Says that no unfinished chapter is left, once, at the very end.
  virtual void AnnounceEnd() = 0;
  // Whether the student asked for every course of the course list, not only the one opened.
  virtual bool StudiesEveryCourse() = 0;
  // One line for the student of what the run does now.
  virtual void ShowStatus(const std::string& text) = 0;

  // The page shown.
  virtual std::string PageAddress() = 0;
  // Opens `address` as the student's own navigation would (the chapter page arms the cycle).
  virtual void OpenPage(const std::string& address) = 0;
  // Loads `address` again, as the browser brings a page back (not announced as a navigation).
  virtual void LoadAgain(const std::string& address) = 0;
  // Stops the page's loads; false when the page did not answer afterwards.
  virtual bool StopLoading() = 0;
  // Ends the page's process; its end is reported as for any lost process.
  virtual void EndPageProcess() = 0;
  // While the run is armed, failed loads are its own to show, and the pages keep the focus.
  virtual void PagesForARun(bool armed) = 0;
  // The courses the page shown links to, in order (course_list.h); null when it cannot be read.
  virtual std::optional<std::vector<std::string>> ReadCourses() = 0;

 protected:
  ~StudyCycle() = default;
};

class StudyRun {
 public:
  using State = RunState;

  StudyRun(Clock& clock, DesktopSession& session, StudyCycle& cycle, StudyRunTimings timings = {});
  ~StudyRun();
  StudyRun(const StudyRun&) = delete;
  StudyRun& operator=(const StudyRun&) = delete;

  State state() const;
  // When the next attempt to load the study page is due, while waiting for the site.
  std::optional<Clock::TimePoint> nextAttempt() const;
  // False from a failed load, or a page found to be no chapter page, until the page is loaded
  // again: what it shows is not to be read.
  bool PageLoaded() const { return !failedSinceTopStart_; }

  // ---- what the window's cycle found ----
  // The cycle was armed on a chapter page (again).
  void Armed();
  // A chapter list was read: the addresses of its unfinished entries, in order (none: nothing
  // left in this course). False when the cycle is not to go on to the first of them.
  bool ChapterListRead(const std::vector<std::string>& unfinished);
  // The page at `address` is no chapter page or its list frame holds no chapter entry.
  void NotAChapterPage(const std::string& address, Why why);
  // A tick could not decide anything on the page (a call failed). The run's own clock may not
  // get to run while such ticks keep the window busy, so the liveness rule is also checked here.
  void NothingDecided();
  // A page of the run shows the portal's login form.
  void LoginFormShown(const std::string& address);
  void ChapterOpened(const std::string& address);
  // The chapter's progress as its page shows it.
  void ProgressRead(const std::string& progress);
  // The completion control of the chapter at `address` was pressed.
  void ChapterCompleted(const std::string& address);
  // The program refreshed the page itself because the chapter stood still.
  void PageRefreshed();
  // The move to the next chapter found none left: the run ends, or goes on to the next course.
  void NoChapterLeft();

  // ---- what the browser reported ----
  // A top-level navigation of the student's (`byStudent`) or of the page's own (never a load of
  // the program's own).
  void TopLevelNavigation(const std::string& address, bool byStudent);
  void LoadStarted(const std::string& address, bool topLevel);
  void LoadFinished(const std::string& address, bool topLevel);
  void LoadFailed(const LoadFailure& failure);
  void LoadStopped(const std::string& address, bool topLevel);
  void AnsweringChanged(bool answering);
  void PageProcessEnded(PageProcessEnd why);
  // A video or audio of the page failed for good. One the site failed to deliver is retried as
  // a failed load; one this machine cannot play is loaded again once, then left to the student.
  void MediaFailed(const MediaFailure& failure);
  // A top-level load was refused for the site's certificate (`problems`: CertificateProblem
  // flags), and the student is asked about it.
  void CertificateRejected(const std::string& address, const std::string& host, unsigned problems);

  // Says on the status line what the run does, if that changed (the window's template says
  // that nothing has started yet).
  void PublishStatus();
  // The window is going: nothing more is asked of the browser or told.
  void Stop();

 private:
  // A failure episode: from the first failure to the run seen studying again.
  struct FailureEpisode {
    Clock::TimePoint since;
    std::chrono::milliseconds nextWait;  // before the attempt after the next one is due
    bool journaled = false;              // the failure was told: the list read again tells its end
  };
  // What the run is doing: one of these at a time, each with what it needs.
  struct NotStarted {};
  // Armed on a chapter page, the run studies or waits for the site: both go on with the course
  // walk and with the failures still being waited out.
  struct ArmedState {
    bool toCourseList = false;  // going to the course list, or reading it, for the next course
    std::optional<FailureEpisode> episode;
  };
  struct Studying : ArmedState {};
  struct WaitingForSite : ArmedState {
    Clock::TimePoint until;  // the next attempt to load the study page
    Clock::CallId attempt = 0;
  };
  struct WaitingForStudent {
    enum class Reason {
      kSignedOut,            // to log in
      kCertificateRejected,  // to trust the site's certificate, or not
      kLeftByStudent,        // to come back to a chapter page
      kNothingLeft,          // for the list to show an unfinished chapter
      kVideoCannotPlay,      // to mend what keeps the video from playing
      kCompletionRefused,    // to see why the site takes no completion
    } why;
    MediaFault videoFault = MediaFault::kUnsupported;
  };
  struct Ended {};
  struct Closed {};  // the window is going: nothing more is asked of the browser or told
  using Phase =
      std::variant<NotStarted, Studying, WaitingForSite, WaitingForStudent, Ended, Closed>;

  // Every change of what the run does goes through here: a wait for the site that is left takes
  // its attempt with it.
  void Become(Phase next);
  ArmedState* ArmedPhase();
  const ArmedState* ArmedPhase() const;
  bool armed() const { return ArmedPhase() != nullptr; }
  bool waitingForSite() const { return std::holds_alternative<WaitingForSite>(phase_); }
  bool closed() const { return std::holds_alternative<Closed>(phase_); }
  bool toCourseList() const { return armed() && ArmedPhase()->toCourseList; }
  bool failing() const { return armed() && ArmedPhase()->episode.has_value(); }
  void WaitForStudent(WaitingForStudent wait);
  void StopStudying(Phase next);
  void End();

  // Every course: from a course with nothing left to the next one on the course list.
  void CourseDone();
  void ReadCourseList();
  void OpenCourse(const std::string& address, int index, int count);
  void PassOverCourse();
  void GoToCourseList();
  // Whether the completion last pressed took, by the list read after it.
  bool CompletionTook(const std::vector<std::string>& unfinished);

  class StatusUpdate;

  void SignOfLife();
  void PageProven();
  void WatchForLife();
  void NoSignOfLife();

  void WatchLoad(const std::string& key, const std::string& address);
  void ForgetLoad(const std::string& key);
  void ForgetAllLoads();
  void LoadNeverEnded(const std::string& key, const std::string& address);
  void EndHungPage();

  std::string StudyPage() const;
  FailureEpisode& BeginEpisode();
  void EndEpisode(bool studiesAgain);
  void Failed(const std::string& address, const Failure& why);
  // `told`: the failure was journalled already.
  void WaitAndLoadAgain(bool told = false);
  void ReloadPaced(const Failure& why);
  bool OwnFrame(const std::string& address, bool topLevel) const;
  void ScheduleRetry();
  void Retry();
  void SignedOut(const std::string& address);
  void LoadAgain(const std::string& address);

  Clock& clock_;
  StudyCycle& cycle_;
  const StudyRunTimings timings_;
  UnattendedRun unattended_;
  Phase phase_ = NotStarted{};
  std::string studyPage_;    // the chapter page the run was armed on
  std::string pageAddress_;  // the top-level page being loaded or shown
  bool failedSinceTopStart_ = false;
  std::map<std::string, Clock::CallId> loadWatches_;  // loads under way, by "top" or address
  Clock::CallId lifeCall_ = 0;
  Clock::CallId restartCall_ = 0;  // the cycle's restart after a load of the run's own
  Clock::TimePoint lastLife_;

  bool answering_ = true;
  Clock::CallId hungCall_ = 0;
  std::optional<Why> processEndReason_;  // set when the program ends the process itself
  std::optional<Clock::TimePoint> lastPacedReload_;
  std::optional<Clock::TimePoint> lastLostOutsideRun_;

  // Videos that failed, by the document that holds them (the chapter): journalled once each; one
  // that cannot play is loaded again once before the student is told.
  struct VideoFailures {
    bool journaled = false;
    int cannotPlay = 0;     // page loads in which it could not play
    int lastPageLoad = -1;  // the last of them (pageLoads_)
  };
  int pageLoads_ = 0;  // top-level loads started
  std::map<std::string, VideoFailures> videoFailures_;

  // Progress as the site shows it: the last progress text, and the chapter whose completion was
  // pressed until the list says whether it took, with how often it did not.
  std::string progressShown_;
  std::string pressedChapter_;
  std::map<std::string, int> completionsNotTaken_;
  // The top-level navigation under way is the site's own, not the student's.
  bool sitesNavigation_ = false;
  // A frame that is none of the study page's own failed: said once a page.
  bool otherFrameFailureJournaled_ = false;

  // The course walk: the courses this run finished or passed over, and where it is on its way.
  course_list::Courses finishedCourses_;
  course_list::Courses passedOver_;
  std::vector<std::string> lastCourseList_;   // as last read, to learn what changes in it
  std::set<std::string> changingParameters_;  // the list's links' tokens: no part of a course
  std::optional<Clock::TimePoint> courseFailingSince_;
  std::string ownNavigation_;  // a page the run itself opens: no student leaving
  Clock::CallId readCall_ = 0;
  int course_ = 0, courses_ = 0;

  // What the status line says: chapter n of m in this course, since when.
  int completedInCourse_ = 0;
  std::size_t unfinishedListed_ = 0;
  bool chapterOpen_ = false;
  State shownState_ = State::kNotStarted;
  std::time_t shownSince_ = 0;
  std::string shownText_ = DescribeRun({});
  Clock::CallId statusTick_ = 0;
};

}  // namespace larkwend
