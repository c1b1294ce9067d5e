#include "site_client.h"

#include <regex>

#include "site_addresses.h"

namespace larkwend::practice::testing {

SiteClient::SiteClient(int port, std::string host)
    : client_(std::make_unique<httplib::Client>("127.0.0.1", port)),
      hostHeader_(host + ":" + std::to_string(port)) {}

httplib::Headers SiteClient::Headers() const {
  httplib::Headers headers{{"Host", hostHeader_}};
  std::string cookie;
  for (const auto& [name, value] : cookies_) {
    if (!cookie.empty()) cookie += "; ";
    cookie += name + "=" + value;
  }
  if (!cookie.empty()) headers.emplace("Cookie", cookie);
  return headers;
}

void SiteClient::Remember(const httplib::Result& result) {
  if (!result) return;
  for (std::size_t i = 0; i < result->get_header_value_count("Set-Cookie"); ++i) {
    std::string header = result->get_header_value("Set-Cookie", i);
    std::string pair = header.substr(0, header.find(';'));
    auto eq = pair.find('=');
    if (eq != std::string::npos) cookies_[pair.substr(0, eq)] = pair.substr(eq + 1);
  }
}

httplib::Result SiteClient::Get(const std::string& path) {
  auto result = client_->Get(path, Headers());
  Remember(result);
  return result;
}

httplib::Result SiteClient::Post(const std::string& path, const httplib::Params& form) {
  auto result = client_->Post(path, Headers(), form);
  Remember(result);
  return result;
}

std::string SiteClient::Cookie(const std::string& name) const {
  auto it = cookies_.find(name);
  return it == cookies_.end() ? std::string() : it->second;
}

PracticeOptions TestOptions() {
  PracticeOptions options;
  options.httpPort = 0;
  options.updatePort = 0;
  options.updateService = false;
  return options;
}

RunningSite::RunningSite(PracticeOptions options) : server_(std::move(options), clock.AsClock()) {
  started_ = server_.Start(error_);
}

SiteClient RunningSite::Portal() const {
  return SiteClient(server_.HttpPort(), SiteAddresses::FromProfile().portalHost);
}

SiteClient RunningSite::Study() const {
  return SiteClient(server_.HttpPort(), SiteAddresses::FromProfile().studyHost);
}

e2e::JsonValue RunningSite::State() const {
  return e2e::JsonValue::Parse(server_.StateJson()).value_or(e2e::JsonValue());
}

std::string CodeOnPage(const std::string& html) {
  static const std::regex code(R"re(id="verifyCode"[^>]*>(\d{4})<)re");
  std::smatch match;
  return std::regex_search(html, match, code) ? match[1].str() : std::string();
}

namespace {

httplib::Result SubmitLogin(SiteClient& portal, httplib::Params form) {
  auto page = portal.Get(SiteAddresses::FromProfile().loginPath);
  form.emplace("txtCode", page ? CodeOnPage(page->body) : "");
  return portal.Post("/kvt/user/login", form);
}

}  // namespace

httplib::Result LogInByIdCard(SiteClient& portal, const std::string& idNumber) {
  return SubmitLogin(portal, {{"loginType", "idcard"},
                              {"sfyzNumber", idNumber},
                              {"txtUserName", ""},
                              {"txtPassword", ""}});
}

httplib::Result LogInByUserName(SiteClient& portal, const std::string& name,
                                const std::string& password) {
  return SubmitLogin(portal, {{"loginType", "username"},
                              {"sfyzNumber", ""},
                              {"txtUserName", name},
                              {"txtPassword", password}});
}

SiteClient EnterStudyPlatform(const RunningSite& site) {
  SiteClient portal = site.Portal();
  LogInByUserName(portal, "Student01", "pass123");
  auto centre = portal.Get(SiteAddresses::FromProfile().userCenterPath);
  SiteClient study = site.Study();
  static const std::regex ticket(R"re(clslist\.aspx\?ticket=([0-9a-f]+))re");
  std::smatch match;
  if (centre && std::regex_search(centre->body, match, ticket)) {
    study.Get(SiteAddresses::FromProfile().courseListPath + "?ticket=" + match[1].str());
  }
  return study;
}

}  // namespace larkwend::practice::testing
