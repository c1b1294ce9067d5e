// SPDX-License-Identifier: GPL-3.0-or-later
#include "site_client.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

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
  // The headers themselves: get_header_value's index moved behind a default value in 0.18.
  auto [first, last] = result->headers.equal_range("Set-Cookie");
  for (auto it = first; it != last; ++it) {
    std::string pair = it->second.substr(0, it->second.find(';'));
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

RawConnection::RawConnection(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(port));
  if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

RawConnection::~RawConnection() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawConnection::Send(const std::string& bytes) {
  return fd_ >= 0 && ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL) ==
                         static_cast<ssize_t>(bytes.size());
}

RawConnection::Answer RawConnection::Read(std::chrono::milliseconds wait) {
  Answer answer{std::move(pending_), fd_ < 0};
  pending_.clear();
  std::size_t expected = std::string::npos;
  while (!answer.closed) {
    auto headersEnd = answer.text.find("\r\n\r\n");
    auto length = answer.text.find("Content-Length: ");
    if (headersEnd != std::string::npos && length != std::string::npos && length < headersEnd) {
      expected = headersEnd + 4 + std::stoul(answer.text.substr(length + 16));
    }
    if (answer.text.size() >= expected) break;
    pollfd readable{fd_, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(wait.count())) <= 0) break;
    char buffer[4096];
    ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
    if (n <= 0) {
      answer.closed = true;  // an orderly close or a reset: either way, nothing more comes
    } else {
      answer.text.append(buffer, static_cast<std::size_t>(n));
    }
  }
  if (expected < answer.text.size()) {
    pending_ = answer.text.substr(expected);
    answer.text.resize(expected);
  }
  return answer;
}

std::string GetRequest(const std::string& host, int port, const std::string& path) {
  return "GET " + path + " HTTP/1.1\r\nHost: " + host + ":" + std::to_string(port) + "\r\n\r\n";
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
