// SPDX-License-Identifier: GPL-3.0-or-later
// Both sites share one port; the Host header says which site a request is for. The router keeps
// each site's handlers apart and answers a request for a host it does not serve with an error.
#pragma once

#include <httplib.h>

#include <array>
#include <functional>
#include <string>
#include <vector>

#include "site_addresses.h"

namespace larkwend::practice {

enum class Site { kPortal = 0, kStudy = 1 };

class HostRouter {
 public:
  using Handler = std::function<void(const httplib::Request&, httplib::Response&)>;
  // Sees every request to a known host before its page does; true when it has answered the
  // request itself.
  using Gate = std::function<bool(Site, const httplib::Request&, httplib::Response&)>;

  explicit HostRouter(const SiteAddresses& addresses) : addresses_(addresses) {}

  // Registers `handler` for `pattern` (an httplib path pattern) on one site.
  void Get(Site site, const std::string& pattern, Handler handler);
  void Post(Site site, const std::string& pattern, Handler handler);
  // Registers `handler` for `pattern` on both sites.
  void GetOnBoth(const std::string& pattern, const Handler& handler);

  void SetGate(Gate gate) { gate_ = std::move(gate); }

  // Installs the routes and the host check into `server`.
  void Install(httplib::Server& server) const;

  // The site a request addresses; false when its Host header names neither.
  bool SiteOf(const httplib::Request& request, Site& site) const;

 private:
  struct Route {
    std::string method;
    std::string pattern;
    std::array<Handler, 2> bySite;
  };
  void Add(const std::string& method, Site site, const std::string& pattern, Handler handler);

  const SiteAddresses& addresses_;
  std::vector<Route> routes_;
  Gate gate_;
};

}  // namespace larkwend::practice
