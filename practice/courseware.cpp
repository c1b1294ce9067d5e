// SPDX-License-Identifier: GPL-3.0-or-later
#include "courseware.h"

#include "clips.h"
#include "json.h"

namespace larkwend::practice {
namespace {

std::optional<VideoKind> ParseVideoKind(std::string_view text) {
  if (text == "mp4") return VideoKind::kMp4;
  if (text == "webm") return VideoKind::kWebm;
  if (text == "mse") return VideoKind::kMse;
  if (text == "broken") return VideoKind::kBroken;
  return std::nullopt;
}

const char* PauseWhenName(PauseWhen when) {
  switch (when) {
    case PauseWhen::kNever:
      return "never";
    case PauseWhen::kHidden:
      return "hidden";
    case PauseWhen::kBlur:
      return "blur";
    case PauseWhen::kBoth:
      return "both";
  }
  return "never";
}

}  // namespace

std::optional<std::vector<VideoKind>> ParseVideoKinds(std::string_view text) {
  std::vector<VideoKind> kinds;
  for (;;) {
    const auto comma = text.find(',');
    auto kind = ParseVideoKind(text.substr(0, comma));
    if (!kind) return std::nullopt;
    kinds.push_back(*kind);
    if (comma == std::string_view::npos) return kinds;
    text.remove_prefix(comma + 1);
  }
}

std::optional<PauseWhen> ParsePauseWhen(std::string_view text) {
  for (PauseWhen when : {PauseWhen::kNever, PauseWhen::kHidden, PauseWhen::kBlur, PauseWhen::kBoth})
    if (text == PauseWhenName(when)) return when;
  return std::nullopt;
}

std::optional<VideoKind> VideoKindOf(const std::vector<VideoKind>& kinds, int chapter) {
  if (kinds.empty() || chapter < 1) return std::nullopt;
  return kinds[static_cast<std::size_t>(chapter - 1) % kinds.size()];
}

const char* VideoKindName(VideoKind kind) {
  switch (kind) {
    case VideoKind::kMp4:
      return "mp4";
    case VideoKind::kWebm:
      return "webm";
    case VideoKind::kMse:
      return "mse";
    case VideoKind::kBroken:
      return "broken";
  }
  return "mp4";
}

std::string CoursewareMarkup(VideoKind kind, PauseWhen pauseWhen) {
  const Clip& clip = ClipOf(kind);
  // A fed video gets its source from the script; the others name their clip as a page does.
  const std::string source =
      kind == VideoKind::kMse ? std::string() : " src=\"" + std::string(clip.path) + "\"";
  return "<video id=\"courseware\" playsinline width=\"640\" height=\"360\"" + source +
         "></video>\n<script src=\"" + std::string(kCoursewareScriptPath) +
         "\"></script>\n<script>coursewareStart(" + JsonQuote(VideoKindName(kind)) + ", " +
         JsonQuote(clip.path) + ", " + JsonQuote(clip.mseType) + ", " +
         JsonQuote(PauseWhenName(pauseWhen)) + ");</script>\n";
}

// Learned time is credited from what the video played, so the page reads currentTime at every
// timeupdate and at every heartbeat and adds up how far it moved, counting a jump back as the
// loop's wrap. The server caps each report by the real time since the last one, so a seek
// forward gains nothing. The page loops the video itself, starting it again when it ends: with
// the loop attribute, WebKitGTK 2.50 wrapped once and then stood at the end (readyState 2,
// never ended, never paused), with or without sound and a sound server.
const char* const kCoursewareScript = R"JS(
function coursewareAdvance(from, to, duration) {
  if (!(from >= 0) || !(to >= 0)) return 0;
  if (to >= from) return to - from;
  if (!(duration > 0) || !isFinite(duration)) return to;
  return Math.max(duration - from, 0) + to;
}

var courseware = {video: null, last: 0, played: 0, hiddenEvents: 0, blurEvents: 0,
                  playError: ''};

function coursewareRead() {
  var video = courseware.video;
  if (!video) return;
  var now = video.currentTime;
  courseware.played += coursewareAdvance(courseware.last, now, video.duration);
  courseware.last = now;
}

function coursewarePlay() {
  var started = courseware.video.play();
  if (started && started.catch) {
    started.catch(function (e) { courseware.playError = (e && e.name) || String(e); });
  }
}

// A player in the hls.js style: the page fetches the fragmented clip and appends it to a
// SourceBuffer of its own MediaSource.
function coursewareFeed(video, clip, type) {
  if (!window.MediaSource || !MediaSource.isTypeSupported(type)) {
    courseware.playError = 'MediaSourceNotSupported';
    return;
  }
  var source = new MediaSource();
  source.addEventListener('sourceopen', function () {
    var buffer = source.addSourceBuffer(type);
    buffer.addEventListener('updateend', function () {
      if (source.readyState === 'open') source.endOfStream();
    });
    fetch(clip).then(function (r) { return r.arrayBuffer(); })
        .then(function (data) { buffer.appendBuffer(data); })
        .catch(function (e) { courseware.playError = (e && e.name) || String(e); });
  }, {once: true});
  video.src = URL.createObjectURL(source);
}

function coursewareStart(kind, clip, type, pauseWhen) {
  var onHidden = pauseWhen === 'hidden' || pauseWhen === 'both';
  var onBlur = pauseWhen === 'blur' || pauseWhen === 'both';
  document.addEventListener('visibilitychange', function () {
    if (document.hidden) courseware.hiddenEvents++;
    if (!onHidden || !courseware.video) return;
    if (document.hidden) courseware.video.pause(); else coursewarePlay();
  });
  window.addEventListener('blur', function () {
    courseware.blurEvents++;
    if (onBlur && courseware.video) courseware.video.pause();
  });
  window.addEventListener('focus', function () {
    if (onBlur && courseware.video) coursewarePlay();
  });
  window.addEventListener('load', function () {
    var video = document.getElementById('courseware');
    courseware.video = video;
    courseware.last = video.currentTime;
    video.addEventListener('timeupdate', coursewareRead);
    video.addEventListener('ended', function () {
      video.currentTime = 0;
      coursewarePlay();
    });
    if (kind === 'mse') coursewareFeed(video, clip, type);
    coursewarePlay();
  });
}

function coursewareBeat(fields) {
  var video = courseware.video || document.getElementById('courseware');
  coursewareRead();
  fields.played = courseware.played.toFixed(3);
  courseware.played = 0;
  fields.paused = video.paused ? 1 : 0;
  fields.muted = video.muted ? 1 : 0;
  fields.volume = video.volume;
  fields.error = video.error ? video.error.code : 0;
  fields.visibility = document.visibilityState;
  fields.hidden = document.hidden ? 1 : 0;
  fields.hasFocus = document.hasFocus() ? 1 : 0;
  fields.hiddenEvents = courseware.hiddenEvents;
  fields.blurEvents = courseware.blurEvents;
  fields.playError = courseware.playError;
  fields.currentTime = video.currentTime;
  fields.readyState = video.readyState;
  return fields;
}
)JS";

}  // namespace larkwend::practice
