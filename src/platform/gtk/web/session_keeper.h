// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the browser's login through the loss of WebKit's network process.
//
// The shared context keeps its cookies in memory, and that memory is the network process's: when
// the process dies, WebKit starts a new one with an empty jar, and the site's next answer is a
// sign-out the student never made. (WebKitGTK 2.52 crashes that process when a site drops its
// connections for a while.) The keeper holds a copy of the jar, taken whenever the jar announces
// a change, and a marker cookie for a domain no request ever goes to. A jar without the marker is
// a new process's, and is given the copy back. The site's own removals reach the copy through the
// same announcements, so nothing the site ended comes back.
#pragma once

#include <webkit2/webkit2.h>

#include <chrono>
#include <functional>
#include <memory>

namespace larkwend::gtk {

class SessionKeeper {
 public:
  explicit SessionKeeper(WebKitCookieManager* cookies);
  ~SessionKeeper();
  SessionKeeper(const SessionKeeper&) = delete;
  SessionKeeper& operator=(const SessionKeeper&) = delete;

  // Runs `then` once the jar holds the session again: as soon as the jar answers when nothing
  // was lost, once the copy is back when it was. A jar that does not answer within `bound` is
  // not waited for.
  void MakeWhole(std::function<void()> then,
                 std::chrono::milliseconds bound = std::chrono::milliseconds(2000));

  // The cookie that tells the jar of this process from a new one's.
  static constexpr const char* kMarkerName = "larkwend-session";
  static constexpr const char* kMarkerDomain = "session-keeper.invalid";

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace larkwend::gtk
