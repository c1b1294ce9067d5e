// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/session_copy.h"

#include <algorithm>
#include <utility>

namespace larkwend {

bool SessionCopy::Read(std::uint64_t reading, std::vector<CookieKey> jar) {
  // One older than the copy knows less than it.
  if (reading < copyAt_) return false;
  copy_ = std::move(jar);
  copyAt_ = reading;
  lost_ = false;
  return true;
}

void SessionCopy::Lost() {
  if (lost_) return;
  lost_ = true;
  lostBehind_ = Behind();
}

std::vector<std::size_t> SessionCopy::ToPutBack(const std::vector<CookieKey>& jar) const {
  std::vector<std::size_t> back;
  if (lost_ ? lostBehind_ : Behind()) return back;
  for (std::size_t i = 0; i < copy_.size(); ++i)
    if (std::find(jar.begin(), jar.end(), copy_[i]) == jar.end()) back.push_back(i);
  return back;
}

}  // namespace larkwend
