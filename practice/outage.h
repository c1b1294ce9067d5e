// SPDX-License-Identifier: GPL-3.0-or-later
// An outage of the study platform: from the moment a given number of chapter completions has
// been accepted, for a given time, every request to the platform is refused, with a reverse
// proxy's error page, by closing its connection unanswered, or with a maintenance notice. What
// arrives meanwhile is kept for the state document, so a benchmark can tell how often a client
// tried while it was down.
#pragma once

#include <httplib.h>

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "json.h"
#include "options.h"
#include "site_clock.h"

namespace larkwend::practice {

class Outage {
 public:
  // `clock` outlives the outage. With `afterCompletions` 0 the outage starts at once.
  Outage(OutageKind kind, int afterCompletions, double seconds, const SiteClock& clock);

  // A chapter completion has been accepted, the `completions`th since the site started.
  void CompletionAccepted(int completions);

  // How a study-platform request arriving now is refused: kNone while the platform is up. A
  // refused request is counted; `heartbeat` says it is an open page's background report, which
  // is only counted, the others are listed with their moment and `target` (path and query).
  OutageKind Refuse(const std::string& target, bool heartbeat);

  // Adds "outage": kind, started, ended, startedAtMs and endedAtMs (milliseconds since the
  // site started; -1 while not yet), requests (every refused request), heartbeats (those of
  // them that were open pages' reports), requestLog ([{atMs, target}] of the others).
  void AddJson(JsonObject& state) const;

 private:
  struct Refused {
    std::int64_t atMs;
    std::string target;
  };

  const OutageKind kind_;
  const int afterCompletions_;
  const std::chrono::milliseconds length_;
  const SiteClock& clock_;
  mutable std::mutex mutex_;
  std::optional<SiteClock::TimePoint> start_;
  int requests_ = 0;
  int heartbeats_ = 0;
  std::vector<Refused> log_;
  int logLeftOut_ = 0;  // refused requests beyond the log's bound
};

// Answers `request` as the outage `kind` refuses it: a reverse proxy's 502 page, its connection
// closed without a word (the response is then never sent), or a maintenance notice (200).
void RefuseRequest(OutageKind kind, const httplib::Request& request, httplib::Response& response);

}  // namespace larkwend::practice
