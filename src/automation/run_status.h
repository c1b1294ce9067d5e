// SPDX-License-Identifier: GPL-3.0-or-later
// What a study run is doing, as the student reads it on the window's status line.
#pragma once

#include <ctime>
#include <string>

#include "platform/browser_control.h"

namespace larkwend {

enum class RunState {
  kNotStarted,
  kStudying,
  kWaitingForSite,
  kSignedOut,
  kCertificateRejected,  // the study platform's certificate waits for the student's word
  kLeftByStudent,
  kNothingLeft,
  kVideoCannotPlay,    // waits for the student: a chapter's video cannot play on this machine
  kCompletionRefused,  // waits for the student: the site took no completion of a chapter
  kEnded,
};

struct RunStatus {
  RunState state = RunState::kNotStarted;
  int chapter = 0, chapters = 0;  // studying chapter n of m of this course (0: none opened yet)
  int course = 0, courses = 0;    // course k of K, when the run walks the course list
  int secondsToNextAttempt = 0;   // while waiting for the site
  std::time_t since = 0;          // when the run began doing this (0: not said)
  MediaFault videoFault = MediaFault::kUnsupported;  // why the video cannot play
};

// One line of Chinese text (UTF-8).
std::string DescribeRun(const RunStatus& status);
// Why a video cannot play, in a few Chinese words (UTF-8).
std::string DescribeMediaFault(MediaFault fault);

}  // namespace larkwend
