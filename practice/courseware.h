// SPDX-License-Identifier: GPL-3.0-or-later
// Chapters that are courseware videos (--video-chapters): which chapter plays which kind of clip,
// whether its page pauses the video when it is hidden or loses focus (--video-pause-when), and
// what the content page adds for it: the <video> element and the script that starts it with
// sound, as the real platforms' players do, and reports how far it played in each heartbeat.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace larkwend::practice {

enum class VideoKind {
  kMp4,     // H.264 + AAC, progressive MP4
  kWebm,    // VP9 + Opus
  kMse,     // a fragmented MP4 the page's own script feeds through Media Source Extensions
  kBroken,  // a clip the engine cannot play
};

// When the page pauses its video itself, as some platforms' players do to stop crediting a
// student who looks away.
enum class PauseWhen {
  kNever,
  kHidden,  // on visibilitychange to hidden, playing again when visible
  kBlur,    // on the window's blur, playing again on focus
  kBoth,
};

// "mp4,webm": kinds taken in turn by chapter number; nullopt for an empty list or a bad kind.
std::optional<std::vector<VideoKind>> ParseVideoKinds(std::string_view text);
std::optional<PauseWhen> ParsePauseWhen(std::string_view text);

// The kind of chapter `chapter` (1-based) under `kinds`, the first for chapter 1 and cycling;
// nullopt when there are none, a text chapter.
std::optional<VideoKind> VideoKindOf(const std::vector<VideoKind>& kinds, int chapter);
// "mp4", "webm", "mse" or "broken", as the option names them.
const char* VideoKindName(VideoKind kind);

// Markup for the content page of a video chapter: the <video id="courseware"> and the script
// that starts it with sound on load, loops it, pauses it as `pauseWhen` says, and provides
// coursewareBeat(fields), which adds the video's report to a heartbeat's fields.
std::string CoursewareMarkup(VideoKind kind, PauseWhen pauseWhen);

// The script the markup loads, served as kCoursewareScriptPath. It only defines functions; the
// markup calls coursewareStart. coursewareAdvance(from, to, duration) is how far the video played
// from one reading of currentTime to the next, a loop's wrap included.
inline constexpr const char* kCoursewareScriptPath = "/js/courseware.js";
extern const char* const kCoursewareScript;

}  // namespace larkwend::practice
