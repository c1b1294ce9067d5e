// SPDX-License-Identifier: GPL-3.0-or-later
#include "study_session.h"

#include "html.h"
#include "http_util.h"
#include "site_context.h"

namespace larkwend::practice {

bool StudySession::Allowed(SiteContext& context, const httplib::Request& request) {
  if (context.options.openStudy || context.study.HasSession(CookieValue(request, kStudyCookie)))
    return true;
  std::lock_guard lock(mutex_);
  refused_.push_back(request.method + " " + request.target);
  return false;
}

void StudySession::RefusePage(SiteContext& context, httplib::Response& response) const {
  std::string login = context.PortalOrigin() + context.addresses.loginPath;
  if (cookieOnly_) {
    response.set_header("Cache-Control", "no-store");
    response.set_redirect(login);
    return;
  }
  SendHtml(response,
           HtmlPage("401 Unauthorized",
                    "<h1>401 Unauthorized</h1>\n<p id=\"errorMessage\">请先登录学员门户。</p>\n"
                    "<p><a href=\"" +
                        EscapeHtml(login) + "\">学员登录</a></p>"),
           401);
}

void StudySession::AddJson(JsonObject& state) const {
  std::lock_guard lock(mutex_);
  JsonArray refused;
  for (const std::string& request : refused_) refused.Add(request);
  state.AddRaw("studySession",
               JsonObject().Add("cookieOnly", cookieOnly_).AddRaw("refused", refused.str()).str());
}

}  // namespace larkwend::practice
