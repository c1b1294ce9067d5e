// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/frame_navigations.h"

#include <libsoup/soup.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "platform/gtk/web/load_status.h"

namespace larkwend::gtk {
namespace {

// As the top page's bridge keeps what it noted: the last few, for a few seconds.
constexpr std::size_t kMostIntents = 16;
constexpr gint64 kIntentLifetimeUs = 3 * G_USEC_PER_SEC;

std::string WithoutQuery(const std::string& url) {
  return url.substr(0, std::min(url.find('?'), url.find('#')));
}

}  // namespace

std::string OriginOf(const std::string& uri) {
  GUri* parsed = g_uri_parse(uri.c_str(), G_URI_FLAGS_NONE, nullptr);
  if (!parsed) return {};
  std::string origin;
  if (const char* host = g_uri_get_host(parsed); host && *host) {
    std::unique_ptr<gchar, decltype(&g_free)> scheme(g_ascii_strdown(g_uri_get_scheme(parsed), -1),
                                                     g_free);
    std::unique_ptr<gchar, decltype(&g_free)> name(g_ascii_strdown(host, -1), g_free);
    int port = g_uri_get_port(parsed);
    if (port < 0) port = g_str_equal(scheme.get(), "https") ? 443 : 80;
    origin = std::string(scheme.get()) + "://" + name.get() + ":" + std::to_string(port);
  }
  g_uri_unref(parsed);
  return origin;
}

void FrameNavigations::Noted(std::string url, bool frame, bool form) {
  intents_.push_back({std::move(url), frame, form, g_get_monotonic_time()});
  if (intents_.size() > kMostIntents) intents_.pop_front();
}

void FrameNavigations::FrameShows(const std::string& uri) {
  frameDocuments_.insert(WithoutFragment(uri));
}

std::optional<bool> FrameNavigations::IsFrame(WebKitNavigationAction* action,
                                              const std::string& uri, const std::string& top) {
  const gint64 now = g_get_monotonic_time();
  for (auto it = intents_.rbegin(); it != intents_.rend(); ++it) {
    if (now - it->at > kIntentLifetimeUs) break;
    if (it->url == uri || (it->form && WithoutQuery(it->url) == WithoutQuery(uri))) {
      const bool frame = it->frame;
      intents_.erase(std::next(it).base());
      return frame;
    }
  }
  if (webkit_navigation_action_is_user_gesture(action)) return std::nullopt;
  // The document that asked, as the engine names it: in full, or only its origin when the
  // navigation leaves that origin.
  SoupMessageHeaders* headers =
      webkit_uri_request_get_http_headers(webkit_navigation_action_get_request(action));
  const char* referer = headers ? soup_message_headers_get_one(headers, "Referer") : nullptr;
  const std::string from = referer ? OriginOf(referer) : std::string();
  if (from.empty() || from == OriginOf(top)) return std::nullopt;
  const bool shownInAFrame =
      std::any_of(frameDocuments_.begin(), frameDocuments_.end(),
                  [&](const std::string& document) { return OriginOf(document) == from; });
  if (shownInAFrame) return true;
  return std::nullopt;
}

}  // namespace larkwend::gtk
