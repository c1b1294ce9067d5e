// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/run_failure.h"

namespace larkwend {

std::string InEnglish(const Failure& f) {
  const std::string n = std::to_string(f.number);
  switch (f.why) {
    case Why::kHttpStatus:
      return "HTTP " + n;
    case Why::kNetworkError:
      return "network error: " + f.detail;
    case Why::kStillLoading:
      return "still loading after " + f.detail + " s";
    case Why::kNoChapterEntry:
      return "no chapter entry in the list";
    case Why::kNoChapterFrames:
      return "no chapter frames";
    case Why::kNoCourseList:
      return "no course list";
    case Why::kProcessEnded:
      return "its web process ended";
    case Why::kOutOfMemory:
      return "its web process ran out of memory";
    case Why::kStoppedAnswering:
      return "it stopped answering";
    case Why::kNeverFinishedLoading:
      return "it did not finish loading";
    case Why::kNoProgress:
      return "no progress for " + f.detail + " s";
    case Why::kVideoCannotPlay:
      return "its video cannot play";
    case Why::kSitesOwnPage:
      return "the site went to a page that is no study page";
  }
  return {};
}

}  // namespace larkwend
