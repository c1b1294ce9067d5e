// SPDX-License-Identifier: GPL-3.0-or-later
// The practice site for end-to-end tests: runs the built larkwend-practice on the site profile's
// fixed ports (the program under test has them built in), waits until it answers, reads its
// state document, and ends it when the test is done.
//
// Tests that use it share the fixed ports: CTest runs them one at a time (RESOURCE_LOCK), and
// by hand they run under `flock /tmp/larkwend-ports.lock`.
#pragma once

#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

#include "e2e_json.h"

namespace larkwend::e2e {

struct PracticeLogin {
  std::string kind;  // "idcard" or "username"
  std::string userName;
  std::string password;
  std::string idNumber;
  std::string code;          // as typed
  std::string expectedCode;  // as shown to that browser session
  std::string outcome;       // "ok", "bad-code", "bad-account", "bad-kind", "no-session"
};

// The study platform's outage (--outage), as the site's state tells it. Moments are milliseconds
// since the site started, -1 while not yet.
struct PracticeOutage {
  struct Refused {
    long long atMs = 0;
    std::string target;  // path and query
  };
  std::string kind;  // "none", "502" or "drop"
  bool started = false;
  bool ended = false;
  long long startedAtMs = -1;
  long long endedAtMs = -1;
  int requests = 0;          // study-platform requests refused during it
  int heartbeats = 0;        // of those, open content pages' background reports
  std::vector<Refused> log;  // the others, in order
};

// A video chapter's media (--video-chapters), as its page last reported it in a heartbeat.
struct PracticeMedia {
  bool video = false;  // the chapter is a video chapter
  std::string kind;    // "mp4", "webm", "mse" or "broken"; empty for a text chapter
  double played = 0;   // video seconds credited from play, every opening of the chapter
  bool paused = true;
  bool muted = false;
  double volume = 0;
  int error = 0;           // the element's error.code, 0 for none (4: MEDIA_ERR_SRC_NOT_SUPPORTED)
  std::string visibility;  // document.visibilityState
  bool hidden = false;     // document.hidden
  bool hasFocus = false;   // document.hasFocus()
  int hiddenEvents = 0;    // visibilitychange events seen with the page hidden, every opening
  int blurEvents = 0;      // the window's blur events, every opening
  std::string playError;   // the name the page's play() was refused with ("NotAllowedError")
  double currentTime = 0;
  int readyState = 0;
  int reports = 0;  // heartbeats that carried a report
};

class PracticeSite {
 public:
  // Starts the site with `options` (larkwend-practice --help lists them) and waits up to 15 s
  // for it to answer. Ready() tells whether it did.
  explicit PracticeSite(std::vector<std::string> options = {});
  ~PracticeSite();
  PracticeSite(const PracticeSite&) = delete;
  PracticeSite& operator=(const PracticeSite&) = delete;

  bool Ready() const { return ready_; }
  const std::string& Error() const { return error_; }

  // The state document (JSON); empty when the site does not answer.
  std::string State() const;
  JsonValue StateValue() const;

  std::vector<PracticeLogin> Logins() const;
  // The code the latest login page showed. The page shows it too, in element "verifyCode".
  std::string LastVerificationCode() const;
  int CompletedChapterCount() const;
  // (course, chapter) in the order they were completed.
  std::vector<std::pair<int, int>> CompletedChapters() const;
  bool ChapterDone(int course, int chapter) const;
  double LearnedSeconds(int course, int chapter) const;
  // The chapter the course's content frame last opened; 0 when none.
  int CurrentChapter(int course) const;
  int Stalls() const;
  // Content pages told to spin forever; completions asked again for a completed chapter; how
  // often a chapter's content page was opened.
  int Hangs() const;
  int FinishRepeated() const;
  int Openings(int course, int chapter) const;
  int PopupsClosed() const;
  int FinishRefused() const;
  // The study platform's requests it refused for want of the session ("GET /stu/..." each).
  std::vector<std::string> RefusedWithoutTheSession() const;
  // The login pages shown so far, each with a code of its own: the portal's, and the
  // signed-out platform's in place of its pages.
  int LoginPagesShown() const;
  // When each opening of the chapter's content page reached the site, in milliseconds since the
  // site started.
  std::vector<long long> OpenedAtMs(int course, int chapter) const;
  // First openings held unanswered or spinning (--never-loads-chapter).
  int NeverLoaded() const;
  // The chapter's video; `video` false for a text chapter.
  PracticeMedia Media(int course, int chapter) const;

  PracticeOutage Outage() const;
  int OutageRequests() const { return Outage().requests; }
  bool OutageStarted() const { return Outage().started; }
  bool OutageEnded() const { return Outage().ended; }
  long long OutageEndedAtMs() const { return Outage().endedAtMs; }

  // Each update-service connection's request bytes as lower-case hex.
  std::vector<std::string> UpdateRequests() const;

  // Addresses on the running site.
  static std::string PortalUrl(const std::string& path);  // e.g. "/login/"
  static std::string StudyUrl(const std::string& path);   // e.g. "/stu/clslist.aspx"
  static std::string ChapterPageUrl(int course);          // .../stu/Study_v2.aspx?courseId=N

 private:
  const JsonValue& Chapter(const JsonValue& state, int course, int chapter) const;

  pid_t pid_ = -1;
  bool ready_ = false;
  std::string error_;
};

}  // namespace larkwend::e2e
