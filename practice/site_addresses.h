// SPDX-License-Identifier: GPL-3.0-or-later
// The hosts, port and paths of the two sites, taken from the site profile the program is built
// with, so the practice site always serves the addresses the program will visit.
#pragma once

#include <string>
#include <string_view>

namespace larkwend::practice {

struct SiteAddresses {
  std::string portalHost;  // host name without port, e.g. www.qmedu.localhost
  std::string studyHost;
  int httpPort = 0;  // the port both profile URLs name
  int updatePort = 0;
  std::string loginPath;       // "/login/"
  std::string userCenterPath;  // "/kvt/user/"
  std::string courseListPath;  // "/stu/clslist.aspx"

  static const SiteAddresses& FromProfile();
};

// Parts of an absolute http URL.
struct UrlParts {
  std::string host;  // lower-cased, without port
  int port = 80;
  std::string path;  // "/" when the URL has none
};
UrlParts SplitUrl(std::string_view url);

// The host name of a Host header value, lower-cased and without its port.
std::string HostName(std::string_view hostHeader);

}  // namespace larkwend::practice
