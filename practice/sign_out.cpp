// SPDX-License-Identifier: GPL-3.0-or-later
#include "sign_out.h"

namespace larkwend::practice {
namespace {

const char* HowName(SignOutHow how) {
  switch (how) {
    case SignOutHow::kListForm:
      return "list-form";
    case SignOutHow::kFrameRedirect:
      return "frame-redirect";
    case SignOutHow::kBreakOut:
      return "break-out";
    case SignOutHow::kPortalFrames:
      return "portal-frames";
    case SignOutHow::kTopRedirect:
      break;
  }
  return "top-redirect";
}

}  // namespace

SignOut::SignOut(int afterCompletions, SignOutHow how, const SiteClock& clock)
    : afterCompletions_(afterCompletions), how_(how), clock_(clock) {}

bool SignOut::CompletionAccepted(int completions) {
  std::lock_guard lock(mutex_);
  if (afterCompletions_ == 0 || signedOutAt_ || completions < afterCompletions_) return false;
  signedOutAt_ = clock_.Now();
  return true;
}

void SignOut::LoggedIn() {
  std::lock_guard lock(mutex_);
  if (signedOutAt_ && !restoredAt_) restoredAt_ = clock_.Now();
}

bool SignOut::SignedOut() {
  std::lock_guard lock(mutex_);
  const bool out = signedOutAt_ && !restoredAt_;
  if (out) ++requests_;
  return out;
}

void SignOut::AddJson(JsonObject& state) const {
  std::lock_guard lock(mutex_);
  auto ms = [this](const std::optional<SiteClock::TimePoint>& at) {
    return at ? clock_.MsSinceStart(*at) : std::int64_t{-1};
  };
  state.AddRaw("signOut", JsonObject()
                              .Add("how", HowName(how_))
                              .Add("afterCompletions", afterCompletions_)
                              .Add("signedOut", signedOutAt_ && !restoredAt_)
                              .Add("signedOutAtMs", ms(signedOutAt_))
                              .Add("restoredAtMs", ms(restoredAt_))
                              .Add("requests", requests_)
                              .str());
}

}  // namespace larkwend::practice
