// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/session_keeper.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/gtk/common/gobject_ptr.h"

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

// An asynchronous call's user data: the keeper's state if it still exists when the answer comes.
template <typename State>
gpointer Hold(const std::shared_ptr<State>& state) {
  return std::make_unique<std::weak_ptr<State>>(state).release();
}
template <typename State>
std::shared_ptr<State> Release(gpointer data) {
  return std::unique_ptr<std::weak_ptr<State>>(static_cast<std::weak_ptr<State>*>(data))->lock();
}

}  // namespace

struct SessionKeeper::State : std::enable_shared_from_this<State> {
  GObjectPtr<WebKitCookieManager> cookies;
  std::vector<CookiePtr> copy;  // the jar as last read whole, without the marker
  bool reading = false;
  bool readAgain = false;  // the jar changed while it was being read
  int puttingBack = 0;     // cookies given back, not yet confirmed
  std::vector<std::function<void()>> waiting;

  void Read() {
    if (reading) {
      readAgain = true;
      return;
    }
    reading = true;
    webkit_cookie_manager_get_all_cookies(cookies.get(), nullptr, OnRead, Hold(shared_from_this()));
  }

  void Answered(std::vector<CookiePtr> jar) {
    reading = false;
    auto marker =
        std::find_if(jar.begin(), jar.end(), [](const CookiePtr& c) { return IsMarker(c.get()); });
    if (marker != jar.end()) {
      jar.erase(marker);
      copy = std::move(jar);
      RunWaiting();
    } else if (!puttingBack) {
      PutBack();
    }
    if (std::exchange(readAgain, false)) Read();
  }

  // The jar is a new process's: what the last one held goes back in, with the marker.
  void PutBack() {
    if (!copy.empty())
      Diagnose("the browser's network process was replaced: " + std::to_string(copy.size()) +
               " cookies of the session put back");
    puttingBack = static_cast<int>(copy.size()) + 1;
    for (const CookiePtr& cookie : copy)
      webkit_cookie_manager_add_cookie(cookies.get(), cookie.get(), nullptr, OnPutBack,
                                       Hold(shared_from_this()));
    CookiePtr marker = NewMarker();
    webkit_cookie_manager_add_cookie(cookies.get(), marker.get(), nullptr, OnPutBack,
                                     Hold(shared_from_this()));
  }

  void RunWaiting() {
    for (auto& then : std::exchange(waiting, {})) then();
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
      Diagnose(std::string("the browser's cookies could not be read: ") + error->message);
      g_error_free(error);
      if (!state) return;
      state->reading = false;
      // Nothing can be done for the session: whoever waits for it goes on as it is.
      state->RunWaiting();
      if (std::exchange(state->readAgain, false)) state->Read();
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
    auto state = Release<State>(data);
    if (state && --state->puttingBack == 0) state->RunWaiting();
  }

  static void OnChanged(WebKitCookieManager*, gpointer data) { static_cast<State*>(data)->Read(); }
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

void SessionKeeper::MakeWhole(std::function<void()> then, std::chrono::milliseconds bound) {
  auto once = std::make_shared<std::function<void()>>(std::move(then));
  auto run = [once] {
    if (auto call = std::exchange(*once, nullptr)) call();
  };
  state_->waiting.push_back(run);
  using Call = std::function<void()>;
  g_timeout_add_full(
      G_PRIORITY_DEFAULT, static_cast<guint>(bound.count()),
      [](gpointer data) -> gboolean {
        (*static_cast<Call*>(data))();
        return G_SOURCE_REMOVE;
      },
      std::make_unique<Call>(run).release(),
      [](gpointer data) { std::unique_ptr<Call>(static_cast<Call*>(data)); });
  state_->Read();
}

}  // namespace larkwend::gtk
