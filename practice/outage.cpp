// SPDX-License-Identifier: GPL-3.0-or-later
#include "outage.h"

#include "connection_drop.h"
#include "html.h"
#include "http_util.h"

namespace larkwend::practice {
namespace {

// The refused requests listed one by one; a client hammering the site for hours is counted
// beyond this, not listed.
constexpr std::size_t kMaxLogged = 10000;

// What nginx sends when the server behind it does not answer.
constexpr const char* kBadGatewayPage =
    "<html>\r\n<head><title>502 Bad Gateway</title></head>\r\n<body>\r\n"
    "<center><h1>502 Bad Gateway</h1></center>\r\n<hr><center>nginx</center>\r\n"
    "</body>\r\n</html>\r\n";

// A platform under maintenance answers every page with a notice, and with success: nothing in
// the answer's status says the page is not the one asked for.
constexpr const char* kMaintenanceNotice =
    "<h2 id=\"maintenance\">系统维护中，请稍后再试</h2>\n"
    "<p>为了给您提供更好的服务，学习平台正在进行系统升级维护。维护期间暂停访问，"
    "给您带来的不便敬请谅解。</p>";

const char* KindName(OutageKind kind) {
  switch (kind) {
    case OutageKind::kBadGateway:
      return "502";
    case OutageKind::kDrop:
      return "drop";
    case OutageKind::kMaintenance:
      return "maintenance";
    case OutageKind::kNone:
      break;
  }
  return "none";
}

}  // namespace

Outage::Outage(OutageKind kind, int afterCompletions, double seconds, const SiteClock& clock)
    : kind_(kind),
      afterCompletions_(afterCompletions),
      length_(static_cast<long long>(seconds * 1000)),
      clock_(clock) {
  if (kind_ != OutageKind::kNone && afterCompletions_ == 0) start_ = clock_.Now();
}

void Outage::CompletionAccepted(int completions) {
  std::lock_guard lock(mutex_);
  if (kind_ != OutageKind::kNone && !start_ && completions >= afterCompletions_) {
    start_ = clock_.Now();
  }
}

OutageKind Outage::Refuse(const std::string& target, bool heartbeat) {
  std::lock_guard lock(mutex_);
  const auto now = clock_.Now();
  if (!start_ || now >= *start_ + length_) return OutageKind::kNone;
  ++requests_;
  if (heartbeat) {
    ++heartbeats_;
  } else if (log_.size() < kMaxLogged) {
    log_.push_back({clock_.MsSinceStart(now), target});
  } else {
    ++logLeftOut_;
  }
  return kind_;
}

void Outage::AddJson(JsonObject& state) const {
  std::lock_guard lock(mutex_);
  const bool ended = start_ && clock_.Now() >= *start_ + length_;
  JsonArray log;
  for (const auto& refused : log_) {
    log.AddRaw(JsonObject().Add("atMs", refused.atMs).Add("target", refused.target).str());
  }
  state.AddRaw(
      "outage",
      JsonObject()
          .Add("kind", KindName(kind_))
          .Add("started", start_.has_value())
          .Add("ended", ended)
          .Add("startedAtMs", start_ ? clock_.MsSinceStart(*start_) : std::int64_t{-1})
          .Add("endedAtMs", ended ? clock_.MsSinceStart(*start_ + length_) : std::int64_t{-1})
          .Add("requests", requests_)
          .Add("heartbeats", heartbeats_)
          .AddRaw("requestLog", log.str())
          .Add("requestLogLeftOut", logLeftOut_)
          .str());
}

void RefuseRequest(OutageKind kind, const httplib::Request& request, httplib::Response& response) {
  if (kind == OutageKind::kDrop && DropConnection(request)) {
    response.status = 444;  // nginx's name for "closed without an answer", for the request log
    return;
  }
  response.set_header("Cache-Control", "no-store");
  if (kind == OutageKind::kMaintenance) {
    return SendHtml(response, HtmlPage("系统维护", kMaintenanceNotice));
  }
  // A connection that cannot be found is refused as a gateway would.
  response.status = 502;
  response.set_content(kBadGatewayPage, "text/html");
}

}  // namespace larkwend::practice
