// SPDX-License-Identifier: GPL-3.0-or-later
// Who may use the study platform, and how a request without the student's session is answered.
//
// The platform's session is its HttpOnly cookie, opened when the portal's ticket brings a login
// over. Without it a page is refused with a 401 page. With --cookie-session the platform answers
// as the platforms the program meets do: a page asked for without the cookie is sent to the
// portal's login page, and the page's own requests (heartbeat, completion, the pop-up's report)
// are refused with 401. Every refusal is kept, so a test sees whether a request of the student's
// ever went without the session.
#pragma once

#include <httplib.h>

#include <mutex>
#include <string>
#include <vector>

#include "json.h"

namespace larkwend::practice {

struct SiteContext;

class StudySession {
 public:
  // `cookieOnly`: --cookie-session.
  explicit StudySession(bool cookieOnly) : cookieOnly_(cookieOnly) {}

  // Whether `request` carries a session of the platform's (or needs none); a refusal is kept.
  bool Allowed(SiteContext& context, const httplib::Request& request);
  // Whether the pop-up's report needs the session too (only the cookie-only platform asks).
  bool GuardsEveryRequest() const { return cookieOnly_; }

  // Answers a page asked for without the session.
  void RefusePage(SiteContext& context, httplib::Response& response) const;

  // Adds "studySession": cookieOnly, refused (each refusal's method and target, in order).
  void AddJson(JsonObject& state) const;

 private:
  const bool cookieOnly_;
  mutable std::mutex mutex_;
  std::vector<std::string> refused_;  // "GET /stu/..." each
};

}  // namespace larkwend::practice
