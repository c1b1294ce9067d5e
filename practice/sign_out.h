// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform signing the student out: from the moment a given number of chapter
// completions has been accepted, the platform acts signed out, whatever session a request
// carries, until the student logs in again on the portal. How a signed-out page answers is the
// study pages' business; this keeps when it happened and what was answered so.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>

#include "json.h"
#include "options.h"
#include "site_clock.h"

namespace larkwend::practice {

class SignOut {
 public:
  // `clock` outlives this. With `afterCompletions` 0 the student is never signed out.
  SignOut(int afterCompletions, SignOutHow how, const SiteClock& clock);

  SignOutHow How() const { return how_; }

  // A chapter completion has been accepted, the `completions`th since the site started; true
  // when it signs the student out (once only).
  bool CompletionAccepted(int completions);
  // A login on the portal succeeded: the platform takes the student's sessions again.
  void LoggedIn();

  // True while signed out; a request answered as signed out is counted.
  bool SignedOut();

  // Adds "signOut": how, afterCompletions, signedOut (now), signedOutAtMs and restoredAtMs
  // (milliseconds since the site started; -1 while not yet), requests (answered signed out).
  void AddJson(JsonObject& state) const;

 private:
  const int afterCompletions_;
  const SignOutHow how_;
  const SiteClock& clock_;
  mutable std::mutex mutex_;
  std::optional<SiteClock::TimePoint> signedOutAt_;
  std::optional<SiteClock::TimePoint> restoredAt_;
  int requests_ = 0;
};

}  // namespace larkwend::practice
