// SPDX-License-Identifier: GPL-3.0-or-later
#include "host_router.h"

#include "http_util.h"

namespace larkwend::practice {

void HostRouter::Add(const std::string& method, Site site, const std::string& pattern,
                     Handler handler) {
  for (auto& route : routes_) {
    if (route.method == method && route.pattern == pattern) {
      route.bySite[static_cast<int>(site)] = std::move(handler);
      return;
    }
  }
  Route route{method, pattern, {}};
  route.bySite[static_cast<int>(site)] = std::move(handler);
  routes_.push_back(std::move(route));
}

void HostRouter::Get(Site site, const std::string& pattern, Handler handler) {
  Add("GET", site, pattern, std::move(handler));
}

void HostRouter::Post(Site site, const std::string& pattern, Handler handler) {
  Add("POST", site, pattern, std::move(handler));
}

void HostRouter::GetOnBoth(const std::string& pattern, const Handler& handler) {
  Get(Site::kPortal, pattern, handler);
  Get(Site::kStudy, pattern, handler);
}

bool HostRouter::SiteOf(const httplib::Request& request, Site& site) const {
  std::string host = HostName(request.get_header_value("Host"));
  if (host == addresses_.portalHost) {
    site = Site::kPortal;
    return true;
  }
  if (host == addresses_.studyHost) {
    site = Site::kStudy;
    return true;
  }
  return false;
}

void HostRouter::Install(httplib::Server& server) const {
  server.set_pre_routing_handler([this](const httplib::Request& request,
                                        httplib::Response& response) {
    Site site;
    if (!request.has_header("Host")) {
      SendError(response, 400, "The request names no host.");
      return httplib::Server::HandlerResponse::Handled;
    }
    if (!SiteOf(request, site)) {
      SendError(response, 421,
                "This server does not serve the host " + request.get_header_value("Host") + ".");
      return httplib::Server::HandlerResponse::Handled;
    }
    return httplib::Server::HandlerResponse::Unhandled;
  });
  // The gate runs here rather than before routing, once httplib has read the request's body:
  // an answer sent before would leave the body on a kept-alive connection, read as the next
  // request.
  for (const auto& route : routes_) {
    auto dispatch = [this, handlers = route.bySite](const httplib::Request& request,
                                                    httplib::Response& response) {
      Site site = Site::kPortal;
      SiteOf(request, site);
      if (gate_ && gate_(site, request, response)) return;
      if (const auto& handler = handlers[static_cast<int>(site)]) {
        handler(request, response);
      } else {
        SendError(response, 404, "No such page on this site: " + request.path);
      }
    };
    if (route.method == "GET")
      server.Get(route.pattern, dispatch);
    else
      server.Post(route.pattern, dispatch);
  }
  // Any other page of a known host passes the gate too, then is not found.
  auto unrouted = [this](const httplib::Request& request, httplib::Response& response) {
    Site site = Site::kPortal;
    SiteOf(request, site);
    if (gate_ && gate_(site, request, response)) return;
    SendError(response, 404, "No such page: " + request.path);
  };
  server.Get(".*", unrouted);
  server.Post(".*", unrouted);
  // Errors without a page get one that says so (httplib would send an empty body).
  server.set_error_handler([](const httplib::Request& request, httplib::Response& response) {
    if (response.body.empty()) {
      SendError(response, response.status,
                response.status == 404 ? "No such page: " + request.path : "Bad request.");
    }
  });
}

}  // namespace larkwend::practice
