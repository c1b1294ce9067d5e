// SPDX-License-Identifier: GPL-3.0-or-later
#include "portal_pages.h"

#include <optional>

#include "html.h"
#include "http_util.h"
#include "json.h"
#include "resources/site_profile.h"

namespace larkwend::practice {
namespace {

const char* kPortalStyle =
    "<style>body{font-family:sans-serif;margin:2em}fieldset{margin:1em 0;max-width:28em}"
    "label{display:inline-block;width:6em}.message{color:#c00;font-weight:bold}"
    ".code{font:bold 20px monospace;letter-spacing:4px;background:#eee;padding:2px 8px}</style>";

// Played by the page itself under --auto-student: once loaded, it says so to the site, then
// types the account, the password and the code it shows, and presses the user-name login.
// `portalOrigin`: where the portal is, for a page the study platform shows (empty: this page is
// the portal's).
std::string AutoLoginScript(const PracticeOptions& options, const std::string& portalOrigin = {}) {
  return "<script>\n"
         "window.addEventListener('load', function () {\n"
         "  var done = function () {\n"
         "    document.getElementById('txtUserName').value = " +
         JsonQuote(options.userName) +
         ";\n"
         "    document.getElementById('txtPassword').value = " +
         JsonQuote(options.password) +
         ";\n"
         "    document.getElementById('txtCode').value =\n"
         "        document.getElementById('verifyCode').textContent;\n"
         "    document.getElementById('btnLogin2').click();\n"
         "  };\n"
         "  fetch(" +
         JsonQuote(portalOrigin + "/__shown") +
         ", {cache: 'no-store'}).then(done, done);\n"
         "});\n"
         "</script>";
}

// A site that signs the student out with --sign-out-how break-out keeps its login page out of
// frames.
constexpr const char* kBreakOutScript =
    "<script>if (top !== self) top.location = self.location;</script>\n";

// The form's target when it is not the portal's own page: `action` is absolute, `session` the
// portal session whose code the page shows.
struct ForeignForm {
  std::string action;
  std::string session;
};

// `scripts`: appended to the page (empty: none).
std::string LoginPage(const std::string& code, const std::string& message,
                      const std::string& scripts, const std::optional<ForeignForm>& foreign = {}) {
  std::string body = "<h1>" + EscapeHtml(site::PortalDisplayName) + "</h1>\n";
  if (!message.empty()) {
    body += "<p id=\"loginMessage\" class=\"message\">" + EscapeHtml(message) + "</p>\n";
  }
  // Enter in a field does nothing: only the two buttons submit, each saying which login it is.
  body +=
      "<form id=\"loginForm\" method=\"post\" action=\"" +
      EscapeHtml(foreign ? foreign->action : kLoginActionPath) + "\"" +
      (foreign ? " target=\"_top\"" : "") +
      " onsubmit=\"return false;\">\n"
      "<input type=\"hidden\" id=\"loginType\" name=\"loginType\" value=\"\">\n" +
      (foreign
           ? "<input type=\"hidden\" name=\"sid\" value=\"" + EscapeHtml(foreign->session) + "\">\n"
           : "") +
      "<fieldset><legend>身份证登录</legend>\n"
      "<label for=\"sfyzNumber\">身份证号</label>"
      "<input type=\"text\" id=\"sfyzNumber\" name=\"sfyzNumber\" autocomplete=\"off\">\n"
      "<input type=\"button\" id=\"btnLogin\" value=\"登 录\" "
      "onclick=\"submitLogin('idcard')\">\n"
      "</fieldset>\n"
      "<fieldset><legend>用户名登录</legend>\n"
      "<label for=\"txtUserName\">用户名</label>"
      "<input type=\"text\" id=\"txtUserName\" name=\"txtUserName\" autocomplete=\"off\"><br>\n"
      "<label for=\"txtPassword\">密码</label>"
      "<input type=\"password\" id=\"txtPassword\" name=\"txtPassword\"><br>\n"
      "<input type=\"button\" id=\"btnLogin2\" value=\"登 录\" "
      "onclick=\"submitLogin('username')\">\n"
      "</fieldset>\n"
      "<label for=\"txtCode\">验证码</label>"
      "<input type=\"text\" id=\"txtCode\" name=\"txtCode\" maxlength=\"4\" autocomplete=\"off\">"
      " <span id=\"verifyCode\" class=\"code\">" +
      EscapeHtml(code) +
      "</span>\n"
      "</form>\n"
      "<script>\n"
      "function submitLogin(kind) {\n"
      "  document.getElementById('loginType').value = kind;\n"
      "  document.getElementById('loginForm').submit();\n"
      "}\n"
      "</script>";
  body += scripts;
  return HtmlPage(std::string(site::PortalDisplayName) + " - 登录", body, kPortalStyle);
}

// Shows the login page with a fresh code for the browser's session (opening one if needed).
void ShowLoginPage(SiteContext& context, const httplib::Request& request,
                   httplib::Response& response, const std::string& message, int status = 200) {
  std::string sessionId = CookieValue(request, kPortalCookie);
  auto issued = context.portal.IssueCode(sessionId);
  if (issued.sessionId != sessionId) SetSessionCookie(response, kPortalCookie, issued.sessionId);
  response.set_header("Cache-Control", "no-store");
  // A refused login is shown as it is: submitting it again would only repeat the refusal.
  const bool autoLogin = context.options.autoStudent && message.empty();
  std::string scripts = autoLogin ? AutoLoginScript(context.options) : "";
  if (context.options.signOutAfterCompletions > 0 &&
      context.options.signOutHow == SignOutHow::kBreakOut)
    scripts = kBreakOutScript + scripts;
  SendHtml(response, LoginPage(issued.code, message, scripts), status);
}

std::string FailureMessage(LoginOutcome outcome) {
  switch (outcome) {
    case LoginOutcome::kNoSession:
      return "验证码已失效，请重新输入。";
    case LoginOutcome::kBadKind:
      return "请选择登录方式。";
    case LoginOutcome::kBadCode:
      return "验证码错误，请重新输入。";
    case LoginOutcome::kBadAccount:
      return "账号或密码错误。";
    case LoginOutcome::kOk:
      break;
  }
  return {};
}

void HandleLogin(SiteContext& context, const httplib::Request& request,
                 httplib::Response& response) {
  LoginForm form{request.get_param_value("loginType"), request.get_param_value("txtUserName"),
                 request.get_param_value("txtPassword"), request.get_param_value("sfyzNumber"),
                 request.get_param_value("txtCode")};
  // A form the study platform showed names its session itself.
  const bool carried = request.has_param("sid");
  std::string sessionId =
      carried ? request.get_param_value("sid") : CookieValue(request, kPortalCookie);
  LoginOutcome outcome = context.portal.Login(sessionId, form);
  if (outcome == LoginOutcome::kOk) {
    context.signOut.LoggedIn();
    if (carried) SetSessionCookie(response, kPortalCookie, sessionId);
    response.set_redirect(context.addresses.userCenterPath);
    return;
  }
  ShowLoginPage(context, request, response, FailureMessage(outcome),
                outcome == LoginOutcome::kBadKind ? 400 : 200);
}

void HandleUserCenter(SiteContext& context, const httplib::Request& request,
                      httplib::Response& response) {
  std::string sessionId = CookieValue(request, kPortalCookie);
  auto account = context.portal.AccountOf(sessionId);
  if (!account) {
    response.set_redirect(context.addresses.loginPath);
    return;
  }
  std::string ticket = context.portal.TicketFor(sessionId).value_or("");
  std::string studyLink =
      context.StudyOrigin() + context.addresses.courseListPath + "?ticket=" + ticket;
  std::string body = "<h1>个人中心</h1>\n<p id=\"welcome\">欢迎您，" + EscapeHtml(*account) +
                     "</p>\n<ul>\n<li><a id=\"studyLink\" href=\"" + EscapeHtml(studyLink) +
                     "\" target=\"_blank\">进入学习平台</a></li>\n"
                     "<li><a href=\"" +
                     context.addresses.loginPath + "\">重新登录</a></li>\n</ul>";
  if (context.options.autoStudent)
    body += "<script>location.href = " + JsonQuote(studyLink) + ";</script>";
  SendHtml(response,
           HtmlPage("个人中心 - " + std::string(site::PortalDisplayName), body, kPortalStyle));
}

}  // namespace

std::string SignedOutLoginPage(SiteContext& context) {
  auto issued = context.portal.IssueCode({});
  const bool autoLogin = context.options.autoStudent;
  return LoginPage(issued.code, {},
                   autoLogin ? AutoLoginScript(context.options, context.PortalOrigin()) : "",
                   ForeignForm{context.PortalOrigin() + kLoginActionPath, issued.sessionId});
}

void AddPortalPages(HostRouter& router, SiteContext& context) {
  const SiteAddresses& paths = context.addresses;  // read once here; handlers use `context`
  router.Get(Site::kPortal, "/", [&context](const httplib::Request&, httplib::Response& response) {
    std::string body = "<h1>" + EscapeHtml(site::PortalDisplayName) +
                       "</h1>\n<p><a id=\"loginLink\" href=\"" + context.addresses.loginPath +
                       "\">学员登录</a></p>";
    SendHtml(response, HtmlPage(site::PortalDisplayName, body, kPortalStyle));
  });
  router.Get(Site::kPortal, paths.loginPath,
             [&context](const httplib::Request& request, httplib::Response& response) {
               ShowLoginPage(context, request, response, {});
             });
  router.Post(Site::kPortal, kLoginActionPath,
              [&context](const httplib::Request& request, httplib::Response& response) {
                HandleLogin(context, request, response);
              });
  // Reloading the login answer asks for the form again.
  router.Get(Site::kPortal, kLoginActionPath,
             [&context](const httplib::Request&, httplib::Response& response) {
               response.set_redirect(context.addresses.loginPath);
             });
  router.Get(Site::kPortal, paths.userCenterPath,
             [&context](const httplib::Request& request, httplib::Response& response) {
               HandleUserCenter(context, request, response);
             });
  router.Get(Site::kPortal, "/__shown",
             [&context](const httplib::Request&, httplib::Response& response) {
               context.portal.RecordLoginShown();
               response.set_header("Cache-Control", "no-store");
               response.status = 204;
             });
  router.Get(Site::kPortal, "/download/", [](const httplib::Request&, httplib::Response& response) {
    SendHtml(response,
             HtmlPage("Larkwend 下载",
                      "<h1>Larkwend</h1>\n<p id=\"download\">最新版本的安装包将在这里提供。</p>",
                      kPortalStyle));
  });
}

}  // namespace larkwend::practice
