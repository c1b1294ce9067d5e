// SPDX-License-Identifier: GPL-3.0-or-later
#include "study_state.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <utility>

#include "tokens.h"

namespace larkwend::practice {
namespace {

constexpr std::array<const char*, 8> kCourseNames = {
    "专业技术人员职业道德", "信息技术应用能力提升", "心理健康与压力管理", "创新能力建设",
    "沟通与协调能力",       "法律法规基础知识",     "团队建设与领导力",   "数字经济概论",
};

// A page that stops beating (closed, or the machine slept) gets no credit for the gap beyond this.
constexpr double kMaxRealSecondsPerBeat = 5.0;
// Openings without a heartbeat for this long are forgotten.
constexpr auto kViewIdleLimit = std::chrono::minutes(30);

long long Whole(double seconds) {
  return static_cast<long long>(std::floor(seconds));
}

}  // namespace

StudyState::StudyState(StudyConfig config, const SiteClock& clock)
    : config_(config), clock_(clock) {
  for (int c = 1; c <= config_.courses; ++c) {
    CourseData course;
    course.name = kCourseNames[(c - 1) % kCourseNames.size()];
    if (c > static_cast<int>(kCourseNames.size())) course.name += " " + std::to_string(c);
    const bool finished = std::find(config_.finishedCourses.begin(), config_.finishedCourses.end(),
                                    c) != config_.finishedCourses.end();
    for (int n = 1; n <= config_.chapters; ++n) {
      ChapterData chapter;
      chapter.title =
          "第" + std::to_string(n) + "章 " + course.name + " 第" + std::to_string(n) + "讲";
      if (finished || n <= config_.finishedChapters) {
        chapter.done = true;
        chapter.learned = config_.chapterSeconds;
      }
      chapter.stallPending = n == config_.stallChapter;
      chapter.hangPending = n == config_.hangChapter;
      chapter.neverLoadsPending = n == config_.neverLoadsChapter;
      chapter.video = VideoKindOf(config_.videoChapters, n);
      course.chapters.push_back(std::move(chapter));
    }
    courses_.push_back(std::move(course));
  }
}

std::string StudyState::NewSession(const std::string& account) {
  std::lock_guard lock(mutex_);
  std::string id = NewToken();
  sessions_[id] = account;
  return id;
}

bool StudyState::HasSession(const std::string& sessionId) const {
  std::lock_guard lock(mutex_);
  return sessions_.contains(sessionId);
}

StudyState::ChapterData* StudyState::Find(int course, int chapter) {
  if (course < 1 || course > static_cast<int>(courses_.size())) return nullptr;
  auto& chapters = courses_[course - 1].chapters;
  if (chapter < 1 || chapter > static_cast<int>(chapters.size())) return nullptr;
  return &chapters[chapter - 1];
}

ChapterInfo StudyState::Info(int course, int chapter) const {
  const ChapterData& c = courses_[course - 1].chapters[chapter - 1];
  return {course, chapter, c.title, config_.chapterSeconds, Whole(c.learned), c.done};
}

std::optional<CourseInfo> StudyState::Course(int id) const {
  std::lock_guard lock(mutex_);
  if (id < 1 || id > static_cast<int>(courses_.size())) return std::nullopt;
  CourseInfo info{id, courses_[id - 1].name, {}};
  for (int n = 1; n <= static_cast<int>(courses_[id - 1].chapters.size()); ++n) {
    info.chapters.push_back(Info(id, n));
  }
  return info;
}

std::optional<int> StudyState::ChapterToShow(int course) const {
  std::lock_guard lock(mutex_);
  if (course < 1 || course > static_cast<int>(courses_.size())) return std::nullopt;
  const auto& c = courses_[course - 1];
  if (c.current > 0) return c.current;
  auto open = std::find_if(c.chapters.begin(), c.chapters.end(),
                           [](const ChapterData& chapter) { return !chapter.done; });
  return open == c.chapters.end() ? 1 : static_cast<int>(open - c.chapters.begin()) + 1;
}

void StudyState::ChapterPageServed(int course) {
  std::lock_guard lock(mutex_);
  if (course < 1 || course > static_cast<int>(courses_.size())) return;
  courses_[course - 1].pageServedAtMs.push_back(clock_.MsSinceStart(clock_.Now()));
}

void StudyState::ForgetIdleViews(std::chrono::steady_clock::time_point now) {
  std::erase_if(views_,
                [&](const auto& entry) { return now - entry.second.lastBeat > kViewIdleLimit; });
}

std::optional<StudyState::OpenedChapter> StudyState::OpenChapter(int course, int chapter) {
  std::lock_guard lock(mutex_);
  ChapterData* c = Find(course, chapter);
  if (!c) return std::nullopt;
  auto now = clock_.Now();
  ForgetIdleViews(now);
  courses_[course - 1].current = chapter;
  ++c->openings;
  c->openedAtMs.push_back(clock_.MsSinceStart(now));
  View view{course,
            chapter,
            now,
            0,
            c->stallPending,
            false,
            c->hangPending && !c->done,
            c->video.has_value(),
            {}};
  c->stallPending = false;  // only the first opening stalls
  c->hangPending = c->hangPending && config_.hangEveryOpening;
  const bool neverLoads = std::exchange(c->neverLoadsPending, false);
  if (neverLoads) ++neverLoaded_;
  std::string token = NewToken();
  views_[token] = view;
  return OpenedChapter{token, Info(course, chapter), neverLoads};
}

std::optional<StudyState::Beat> StudyState::Heartbeat(const std::string& viewToken,
                                                      const std::optional<MediaReport>& media) {
  std::lock_guard lock(mutex_);
  auto it = views_.find(viewToken);
  if (it == views_.end()) return std::nullopt;
  View& view = it->second;
  auto now = clock_.Now();
  double realSeconds = std::chrono::duration<double>(now - view.lastBeat).count();
  view.lastBeat = now;
  double seconds = std::clamp(realSeconds, 0.0, kMaxRealSecondsPerBeat);
  if (view.video) seconds = std::min(seconds, media ? media->played : 0.0);
  double credit = seconds * config_.timeScale;
  if (view.frozen) {
    credit = 0;
  } else if (view.mayStall && view.credited + credit >= config_.stallAfterSeconds) {
    credit = std::max(config_.stallAfterSeconds - view.credited, 0.0);
    view.frozen = true;
    ++stalls_;
  }
  view.credited += credit;
  ChapterData* chapter = Find(view.course, view.chapter);
  chapter->learned += credit;
  if (view.video && media) chapter->media.Add(*media, credit / config_.timeScale, view.seen);
  bool hang = view.mayHang && view.credited >= config_.hangAfterSeconds;
  if (hang) {
    view.mayHang = false;
    ++hangs_;
  }
  return Beat{Info(view.course, view.chapter), view.frozen, hang};
}

FinishOutcome StudyState::Finish(int course, int chapter) {
  std::lock_guard lock(mutex_);
  ChapterData* c = Find(course, chapter);
  if (!c) return FinishOutcome::kUnknownChapter;
  if (c->done) {
    ++finishRepeated_;
    return FinishOutcome::kAlreadyDone;
  }
  if (Whole(c->learned) < config_.chapterSeconds) {
    ++finishRefused_;
    return FinishOutcome::kTooEarly;
  }
  c->done = true;
  completed_.push_back({course, chapter, Whole(c->learned), clock_.MsSinceStart(clock_.Now())});
  return FinishOutcome::kDone;
}

int StudyState::CompletedCount() const {
  std::lock_guard lock(mutex_);
  return static_cast<int>(completed_.size());
}

void StudyState::RecordPopupClosed() {
  std::lock_guard lock(mutex_);
  ++popupsClosed_;
}

void StudyState::AddJson(JsonObject& state) const {
  std::lock_guard lock(mutex_);
  JsonArray courses;
  for (int id = 1; id <= static_cast<int>(courses_.size()); ++id) {
    const CourseData& course = courses_[id - 1];
    JsonArray chapters;
    for (int n = 1; n <= static_cast<int>(course.chapters.size()); ++n) {
      const ChapterData& c = course.chapters[n - 1];
      JsonArray openedAt;
      for (std::int64_t ms : c.openedAtMs) openedAt.AddRaw(std::to_string(ms));
      JsonObject chapter;
      chapter.Add("number", n)
          .Add("title", c.title)
          .Add("requiredSeconds", config_.chapterSeconds)
          .Add("learnedSeconds", c.learned)
          .Add("done", c.done)
          .Add("openings", c.openings)
          .AddRaw("openedAtMs", openedAt.str());
      if (c.video) chapter.Add("video", VideoKindName(*c.video)).AddRaw("media", c.media.Json());
      chapters.AddRaw(chapter.str());
    }
    JsonArray served;
    for (std::int64_t ms : course.pageServedAtMs) served.AddRaw(std::to_string(ms));
    courses.AddRaw(JsonObject()
                       .Add("id", id)
                       .Add("name", course.name)
                       .Add("current", course.current)
                       .AddRaw("pageServedAtMs", served.str())
                       .AddRaw("chapters", chapters.str())
                       .str());
  }
  JsonArray completed;
  for (const auto& c : completed_) {
    completed.AddRaw(JsonObject()
                         .Add("course", c.course)
                         .Add("chapter", c.chapter)
                         .Add("learnedSeconds", static_cast<std::int64_t>(c.learnedSeconds))
                         .Add("atMs", c.atMs)
                         .str());
  }
  state.AddRaw("courses", courses.str());
  state.AddRaw("completed", completed.str());
  state.Add("finishRefused", finishRefused_);
  state.Add("stalls", stalls_);
  state.Add("hangs", hangs_);
  state.Add("neverLoaded", neverLoaded_);
  state.Add("finishRepeated", finishRepeated_);
  state.Add("popupsClosed", popupsClosed_);
}

}  // namespace larkwend::practice
