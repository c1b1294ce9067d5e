// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/session_keeper.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/gtk/web/network_process_watch.h"
#include "platform/session_copy.h"

namespace larkwend::gtk {
namespace {

struct CookieFree {
  void operator()(SoupCookie* cookie) const { soup_cookie_free(cookie); }
};
using CookiePtr = std::unique_ptr<SoupCookie, CookieFree>;

bool IsMarker(SoupCookie* cookie) {
  return g_strcmp0(soup_cookie_get_name(cookie), SessionKeeper::kMarkerName) == 0 &&
         g_strcmp0(soup_cookie_get_domain(cookie), SessionKeeper::kMarkerDomain) == 0;
}

CookiePtr NewMarker() {
  // A session cookie: it lives as long as the jar that holds it.
  return CookiePtr(
      soup_cookie_new(SessionKeeper::kMarkerName, "1", SessionKeeper::kMarkerDomain, "/", -1));
}

std::string Text(const char* text) {
  return text ? text : "";
}

std::vector<CookieKey> KeysOf(const std::vector<CookiePtr>& jar) {
  std::vector<CookieKey> keys;
  for (const CookiePtr& c : jar)
    keys.push_back({Text(soup_cookie_get_name(c.get())), Text(soup_cookie_get_domain(c.get())),
                    Text(soup_cookie_get_path(c.get()))});
  return keys;
}

// Without a watched process, requests look for a loss at most this often.
constexpr gint64 kUnwatchedCheckUs = G_USEC_PER_SEC;
// A reading that failed is tried again after this, doubling up to the longest.
constexpr guint kFirstRetryMs = 100;
constexpr guint kLongestRetryMs = 10000;

// An asynchronous call's user data: the keeper's state if it still exists when the answer comes.
template <typename State>
gpointer Hold(const std::shared_ptr<State>& state) {
  return std::make_unique<std::weak_ptr<State>>(state).release();
}
template <typename State>
std::shared_ptr<State> Release(gpointer data) {
  return std::unique_ptr<std::weak_ptr<State>>(static_cast<std::weak_ptr<State>*>(data))->lock();
}

// Calls `call` once after `ms` on the main loop.
guint After(guint ms, std::function<void()> call) {
  using Call = std::function<void()>;
  return g_timeout_add_full(
      G_PRIORITY_DEFAULT, ms,
      [](gpointer data) -> gboolean {
        (*static_cast<Call*>(data))();
        return G_SOURCE_REMOVE;
      },
      std::make_unique<Call>(std::move(call)).release(),
      [](gpointer data) { std::unique_ptr<Call>(static_cast<Call*>(data)); });
}

}  // namespace

struct SessionKeeper::State : std::enable_shared_from_this<State> {
  GObjectPtr<WebKitCookieManager> cookies;
  SessionCopy copy;
  std::vector<CookiePtr> copied;  // the cookies of copy.keys(), in the same order
  NetworkProcessWatch watch{[this] { ProcessEnded(); }};
  bool markerSeen = false;     // in the jar of the process that holds it now, as far as known
  bool everMarked = false;     // a jar held the marker: one without it is a new process's
  bool announcing = true;      // the jar announces its changes (only the first process's does)
  bool lookForProcess = true;  // a process that holds the jar may have started since the last look
  bool reading = false;
  bool readAgain = false;  // asked for while a reading was under way
  std::uint64_t readingNumber = 0;
  int puttingBack = 0;  // cookies given back, not yet confirmed
  guint retrySource = 0;
  guint retryMs = kFirstRetryMs;
  gint64 lastUnwatchedCheck = 0;
  std::vector<std::function<void()>> waiting;

  ~State() {
    if (retrySource) g_source_remove(retrySource);
  }

  bool Whole() {
    watch.Ended();  // an end the main loop has not told yet is told now
    return markerSeen && !puttingBack && watch.Watching();
  }

  void Read() {
    if (reading) {
      readAgain = true;
      return;
    }
    reading = true;
    readingNumber = copy.ReadingStarts();
    webkit_cookie_manager_get_all_cookies(cookies.get(), nullptr, OnRead, Hold(shared_from_this()));
  }

  void ProcessEnded() {
    // The jar went with it; what happens to cookies from now on happens in the new one.
    markerSeen = false;
    lookForProcess = true;
    copy.Lost();
    Read();
  }

  void Answered(std::vector<CookiePtr> jar) {
    reading = false;
    retryMs = kFirstRetryMs;
    auto marker =
        std::find_if(jar.begin(), jar.end(), [](const CookiePtr& c) { return IsMarker(c.get()); });
    if (marker != jar.end()) {
      jar.erase(marker);
      if (copy.Read(readingNumber, KeysOf(jar))) copied = std::move(jar);
      markerSeen = everMarked = true;
      if (std::exchange(lookForProcess, false) && !watch.Watch())
        Diagnose("WebKit's network process cannot be watched: its loss is looked for by asking");
      RunWaiting();
    } else if (!puttingBack) {
      PutBack(jar);
    }
    if (std::exchange(readAgain, false)) Read();
  }

  void Failed(const GError* error) {
    reading = false;
    Diagnose(std::string("the browser's cookies could not be read: ") + error->message);
    // The process may be on its way out: nothing counts as whole until a reading answers.
    markerSeen = false;
    if (std::exchange(readAgain, false)) return Read();
    if (retrySource) return;
    retrySource = After(retryMs, [weak = weak_from_this()] {
      if (auto state = weak.lock()) {
        state->retrySource = 0;
        state->Read();
      }
    });
    retryMs = std::min(retryMs * 2, kLongestRetryMs);
  }

  // The jar is a new process's and holds `jar`: what it lacks of the copy goes back in, with
  // the marker. (The first jar only lacks the marker.)
  void PutBack(const std::vector<CookiePtr>& jar) {
    copy.Lost();
    lookForProcess = true;
    const std::vector<std::size_t> back = copy.ToPutBack(KeysOf(jar));
    if (everMarked) {
      // A new process's jar announces none of its changes.
      announcing = false;
      if (copy.BehindTheLostJar())
        Diagnose(
            "the browser's network process was replaced right after its cookies changed, "
            "before the change could be read: the session is not put back");
      else
        Diagnose("the browser's network process was replaced: " + std::to_string(back.size()) +
                 " cookies of the session put back, " +
                 std::to_string(copy.keys().size() - back.size()) + " set since kept");
    }
    puttingBack = 1;
    for (std::size_t i : back) {
      if (i >= copied.size()) continue;
      ++puttingBack;
      webkit_cookie_manager_add_cookie(cookies.get(), copied[i].get(), nullptr, OnPutBack,
                                       Hold(shared_from_this()));
    }
    CookiePtr marker = NewMarker();
    webkit_cookie_manager_add_cookie(cookies.get(), marker.get(), nullptr, OnPutBack,
                                     Hold(shared_from_this()));
  }

  void PutBackConfirmed() {
    if (--puttingBack > 0) return;
    // Read once more: the copy takes in the new jar, and the new process is watched.
    Read();
  }

  void RunWaiting() {
    for (auto& then : std::exchange(waiting, {})) then();
  }

  void Changed() {
    copy.Changed();
    Read();
  }

  static void OnRead(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    GList* list =
        webkit_cookie_manager_get_all_cookies_finish(WEBKIT_COOKIE_MANAGER(source), result, &error);
    std::vector<CookiePtr> jar;
    for (GList* item = list; item; item = item->next)
      jar.emplace_back(static_cast<SoupCookie*>(item->data));
    g_list_free(list);
    auto state = Release<State>(data);
    if (error) {
      if (state) state->Failed(error);
      g_error_free(error);
      return;
    }
    if (state) state->Answered(std::move(jar));
  }

  static void OnPutBack(GObject* source, GAsyncResult* result, gpointer data) {
    GError* error = nullptr;
    if (!webkit_cookie_manager_add_cookie_finish(WEBKIT_COOKIE_MANAGER(source), result, &error)) {
      Diagnose(std::string("a cookie of the session could not be put back: ") + error->message);
      g_error_free(error);
    }
    if (auto state = Release<State>(data)) state->PutBackConfirmed();
  }

  static void OnChanged(WebKitCookieManager*, gpointer data) {
    static_cast<State*>(data)->Changed();
  }
};

SessionKeeper::SessionKeeper(WebKitCookieManager* cookies) : state_(std::make_shared<State>()) {
  state_->cookies = GObjectPtr<WebKitCookieManager>::Retain(cookies);
  g_signal_connect(cookies, "changed", G_CALLBACK(State::OnChanged), state_.get());
  // The first reading finds no marker and puts it in.
  state_->Read();
}

SessionKeeper::~SessionKeeper() {
  g_signal_handlers_disconnect_by_data(state_->cookies.get(), state_.get());
}

bool SessionKeeper::Whole() {
  return state_->Whole();
}

void SessionKeeper::MakeWhole(std::function<void()> then, std::chrono::milliseconds bound) {
  auto once = std::make_shared<std::function<void()>>(std::move(then));
  auto run = [once] {
    if (auto call = std::exchange(*once, nullptr)) call();
  };
  state_->waiting.push_back(run);
  After(static_cast<guint>(bound.count()), run);
  // A put back under way reads the jar once it is confirmed.
  if (!state_->puttingBack) state_->Read();
}

void SessionKeeper::RequestStarting() {
  State& state = *state_;
  if (state.watch.Watching()) {
    state.watch.Ended();
    return;
  }
  const gint64 now = g_get_monotonic_time();
  if (state.reading || state.puttingBack || now - state.lastUnwatchedCheck < kUnwatchedCheckUs)
    return;
  state.lastUnwatchedCheck = now;
  state.Read();
}

void SessionKeeper::AnswerArrived() {
  // Only a change the jar announced is known to have happened: an answer that arrived just
  // before a loss, and whose reading it interrupted, does not keep the copy from going back.
  if (!state_->announcing) state_->Read();
}

}  // namespace larkwend::gtk
