// SPDX-License-Identifier: GPL-3.0-or-later
// What the study platform remembers: its sessions, every course's chapters with the study time
// credited to each, which chapter each course shows, and which chapters were completed.
//
// Study time is credited on the server from the real time between an open content frame's
// heartbeats, times the time scale, so a reload of the page loses nothing and the page cannot
// claim more than it spent. A video chapter's time is credited only from what its video played,
// never more than the real time.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "courseware.h"
#include "json.h"
#include "media_report.h"
#include "site_clock.h"

namespace larkwend::practice {

struct StudyConfig {
  int courses = 2;
  int chapters = 4;
  int finishedChapters = 1;
  std::vector<int> finishedCourses;  // every chapter of these starts finished
  int chapterSeconds = 90;
  double timeScale = 1.0;
  int stallChapter = 0;  // 0: none
  int stallAfterSeconds = 10;
  int hangChapter = 0;  // 0: none
  int hangAfterSeconds = 0;
  bool hangEveryOpening = false;
  int neverLoadsChapter = 0;             // 0: none
  std::vector<VideoKind> videoChapters;  // taken in turn by chapter number; empty: none
};

struct ChapterInfo {
  int course = 0;
  int number = 0;  // 1-based, page order
  std::string title;
  long long requiredSeconds = 0;
  long long learnedSeconds = 0;  // whole seconds credited so far
  bool done = false;
};

struct CourseInfo {
  int id = 0;  // 1-based
  std::string name;
  std::vector<ChapterInfo> chapters;
};

enum class FinishOutcome { kDone, kAlreadyDone, kTooEarly, kUnknownChapter };

class StudyState {
 public:
  // `clock` outlives the state.
  StudyState(StudyConfig config, const SiteClock& clock);

  std::string NewSession(const std::string& account);
  bool HasSession(const std::string& sessionId) const;

  int CourseCount() const { return config_.courses; }
  std::optional<CourseInfo> Course(int id) const;

  // The chapter the content frame opens with: the course's current chapter, else its first
  // unfinished one, else its first. nullopt for an unknown course.
  std::optional<int> ChapterToShow(int course) const;

  // The course's chapter page (the frameset) was served.
  void ChapterPageServed(int course);

  struct OpenedChapter {
    std::string viewToken;  // names this opening in the heartbeats
    ChapterInfo chapter;
    bool neverLoads = false;  // the first opening of the never-loading chapter
  };
  // The content frame asks for `chapter`: it becomes the course's current chapter and a new
  // opening starts crediting time. nullopt for an unknown chapter.
  std::optional<OpenedChapter> OpenChapter(int course, int chapter);

  struct Beat {
    ChapterInfo chapter;
    bool frozen = false;  // this opening has stalled and credits nothing until a reload
    bool hang = false;    // the page's script is to spin forever from now on
  };
  // Credits the study time since the opening's previous heartbeat; nullopt for an unknown token.
  // A video chapter's opening is credited only what `media` says its video played (nothing
  // without a report), at most the real time since that heartbeat, and keeps the report.
  std::optional<Beat> Heartbeat(const std::string& viewToken,
                                const std::optional<MediaReport>& media = std::nullopt);

  // Completes a chapter once its credited time has reached its requirement.
  FinishOutcome Finish(int course, int chapter);
  // Completions accepted since the site started.
  int CompletedCount() const;

  void RecordPopupClosed();

  // Adds "courses" (each with "pageServedAtMs", the moments its chapter page was served, and
  // each chapter with "openedAtMs", the moment of each opening, and for a video chapter its
  // "video" kind and its "media" (ChapterMedia::Json)), "completed" (with "atMs"),
  // "finishRefused", "stalls", "hangs", "neverLoaded", "finishRepeated" and "popupsClosed".
  void AddJson(JsonObject& state) const;

 private:
  struct ChapterData {
    std::string title;
    double learned = 0;  // study seconds
    bool done = false;
    bool stallPending = false;       // the next opening will freeze
    bool hangPending = false;        // the next opening will spin
    bool neverLoadsPending = false;  // the next opening will never finish loading
    int openings = 0;
    std::vector<std::int64_t> openedAtMs;  // milliseconds since the site started
    std::optional<VideoKind> video;        // a text chapter without
    ChapterMedia media;
  };
  struct CourseData {
    std::string name;
    std::vector<ChapterData> chapters;
    int current = 0;  // 0: none opened yet
    std::vector<std::int64_t> pageServedAtMs;
  };
  struct View {
    int course = 0;
    int chapter = 0;
    std::chrono::steady_clock::time_point lastBeat;
    double credited = 0;  // study seconds credited by this opening
    bool mayStall = false;
    bool frozen = false;
    bool mayHang = false;
    bool video = false;
    ChapterMedia::Seen seen;  // the media events this opening reported so far
  };
  struct Completion {
    int course;
    int chapter;
    long long learnedSeconds;
    std::int64_t atMs;
  };

  ChapterData* Find(int course, int chapter);
  ChapterInfo Info(int course, int chapter) const;
  void ForgetIdleViews(std::chrono::steady_clock::time_point now);

  const StudyConfig config_;
  const SiteClock& clock_;
  mutable std::mutex mutex_;
  std::vector<CourseData> courses_;
  std::map<std::string, std::string> sessions_;  // id -> account
  std::map<std::string, View> views_;
  std::vector<Completion> completed_;
  int finishRefused_ = 0;
  int stalls_ = 0;
  int hangs_ = 0;
  int neverLoaded_ = 0;
  int finishRepeated_ = 0;  // completions asked for a chapter already completed
  int popupsClosed_ = 0;
};

}  // namespace larkwend::practice
