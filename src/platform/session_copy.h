// SPDX-License-Identifier: GPL-3.0-or-later
// The copy of the browser's session kept outside the engine's network process, whose memory
// holds the cookie jar: which cookies it holds, whether the jar has changed since it was taken,
// and what of it goes back into the empty jar of the process that takes the lost one's place.
//
// Two rules keep a copy from undoing the site's work. A cookie the site removed never comes
// back: a copy taken before a change the jar announced and no reading saw (it failed, or the
// jar was gone before it could answer) may hold it, so such a copy puts nothing back. A cookie set
// in the new jar (the site's answer to a request that went out without the session, another
// account's login) is never replaced by an older one: only what the new jar does not hold goes
// back.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace larkwend {

// A jar holds one cookie per name, domain and path: one set again with the same three replaces
// the one before.
struct CookieKey {
  std::string name;
  std::string domain;
  std::string path;
  auto operator<=>(const CookieKey&) const = default;
};

class SessionCopy {
 public:
  // The jar announced that it changed.
  void Changed() { ++changes_; }
  // A reading of the jar starts now; its answer is handed back with this number.
  std::uint64_t ReadingStarts() const { return changes_; }
  // The jar held `jar` when the reading numbered `reading` was answered. It becomes the copy
  // (true), unless a reading that started later has been answered already.
  bool Read(std::uint64_t reading, std::vector<CookieKey> jar);
  // Whether the jar announced a change since the copy's reading started.
  bool Behind() const { return copyAt_ < changes_; }

  // The jar was lost with its process. What happens to the jar from now on happens to the new
  // one; the copy stays as it was when the old one was lost, until a reading of a jar that holds
  // the session again.
  void Lost();
  // The positions in the copy (as last read) of the cookies to put into the new jar, which holds
  // `jar`: none when the copy was behind the jar that was lost.
  std::vector<std::size_t> ToPutBack(const std::vector<CookieKey>& jar) const;
  // Whether the copy was behind the jar that was lost (and puts nothing back).
  bool BehindTheLostJar() const { return lost_ && lostBehind_; }

  const std::vector<CookieKey>& keys() const { return copy_; }

 private:
  std::vector<CookieKey> copy_;
  std::uint64_t changes_ = 0;
  std::uint64_t copyAt_ = 0;
  bool lost_ = false;
  bool lostBehind_ = false;
};

}  // namespace larkwend
