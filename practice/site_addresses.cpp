// SPDX-License-Identifier: GPL-3.0-or-later
#include "site_addresses.h"

#include <algorithm>
#include <charconv>

#include "resources/site_profile.h"

namespace larkwend::practice {
namespace {

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

}  // namespace

UrlParts SplitUrl(std::string_view url) {
  UrlParts parts;
  if (auto scheme = url.find("://"); scheme != std::string_view::npos) {
    url.remove_prefix(scheme + 3);
  }
  auto slash = url.find('/');
  std::string_view authority = url.substr(0, slash);
  parts.path = slash == std::string_view::npos ? "/" : std::string(url.substr(slash));
  parts.host = HostName(authority);
  if (auto colon = authority.rfind(':'); colon != std::string_view::npos) {
    std::string_view port = authority.substr(colon + 1);
    std::from_chars(port.data(), port.data() + port.size(), parts.port);
  }
  return parts;
}

std::string HostName(std::string_view hostHeader) {
  return Lower(hostHeader.substr(0, hostHeader.rfind(':')));
}

const SiteAddresses& SiteAddresses::FromProfile() {
  static const SiteAddresses addresses = [] {
    UrlParts login = SplitUrl(site::PortalLoginUrl);
    UrlParts courses = SplitUrl(site::CourseListUrl);
    SiteAddresses a;
    a.portalHost = login.host;
    a.studyHost = courses.host;
    a.httpPort = login.port;
    a.updatePort = site::UPDATE_PORT;
    a.loginPath = login.path;
    a.userCenterPath = SplitUrl(site::PortalUserCenterUrl).path;
    a.courseListPath = courses.path;
    return a;
  }();
  return addresses;
}

}  // namespace larkwend::practice
