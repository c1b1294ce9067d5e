// SPDX-License-Identifier: GPL-3.0-or-later
// Why a page of a study run is not what it should be, or was lost. A value, put into words twice
// from one table: in English for the diagnostics (InEnglish), in the student's language for the
// journal (InJournal), never matched as text.
#pragma once

#include <string>
#include <utility>

namespace larkwend {

enum class Why {
  kHttpStatus,            // the server answered with an error status: `number`
  kNetworkError,          // the connection failed: `detail`, the engine's words
  kStillLoading,          // a load not ended after `detail` seconds
  kNoChapterEntry,        // the list frame holds no chapter entry at all
  kNoChapterFrames,       // the page has not the chapter page's frames
  kNoCourseList,          // the course list's address shows no link to a course
  kProcessEnded,          // the page's web process ended
  kOutOfMemory,           // ... because it ran out of memory
  kStoppedAnswering,      // ended by the program: the page stopped answering
  kNeverFinishedLoading,  // ended by the program: the page did not finish loading
  kNoProgress,            // no sign of studying for `detail` seconds
  kVideoCannotPlay,       // a chapter's video cannot play on this machine
  kSitesOwnPage,          // the site itself went to a page that is no study page
};

struct Failure {
  Failure(Why reason, int value = 0, std::string words = {})
      : why(reason), number(value), detail(std::move(words)) {}
  Why why;
  int number;
  std::string detail;
};

std::string InEnglish(const Failure& failure);
std::string InJournal(const Failure& failure);

}  // namespace larkwend
