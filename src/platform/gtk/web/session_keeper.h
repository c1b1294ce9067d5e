// SPDX-License-Identifier: GPL-3.0-or-later
// Keeps the browser's login through the loss of WebKit's network process.
//
// The shared context keeps its cookies in memory, and that memory is the network process's: when
// the process dies, WebKit starts a new one with an empty jar, and the site's next answer is a
// sign-out the student never made. (WebKitGTK 2.52 crashes that process when a site drops its
// connections for a while.) The keeper holds a copy of the jar (platform/session_copy.h) and a
// marker cookie for a domain no request ever goes to: a jar without the marker is a new
// process's, and is given back what it does not hold of the copy.
//
// It hears of the loss at once: the network process is watched (network_process_watch.h), so
// knowing that nothing was lost costs no round trip to it. Where the process cannot be watched,
// the jar is asked for the marker instead. The copy follows the jar's announcements of its
// changes; a new process announces none (WebKitGTK 2.50 asks only the first one to), so once one
// was lost, the jar is read again after every answer a page receives.
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

  // Whether the jar is known to hold the session: the marker was seen and nothing was lost
  // since. Asks nothing of the network process.
  bool Whole();
  // Runs `then` once the jar holds the session again: as soon as the jar answers when nothing
  // was lost, once the copy is back when it was. A jar that does not answer within `bound` is
  // not waited for.
  void MakeWhole(std::function<void()> then,
                 std::chrono::milliseconds bound = std::chrono::milliseconds(2000));
  // A page's request begins: a loss not heard of yet is looked for.
  void RequestStarting();
  // An answer to a page's request arrived: it may have set or removed cookies.
  void AnswerArrived();

  // The cookie that tells the jar of this process from a new one's.
  static constexpr const char* kMarkerName = "larkwend-session";
  static constexpr const char* kMarkerDomain = "session-keeper.invalid";

 private:
  struct State;
  std::shared_ptr<State> state_;
};

}  // namespace larkwend::gtk
