// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/frame_loads.h"

#include <utility>

#include "platform/gtk/web/load_status.h"

namespace larkwend::gtk {
namespace {

std::string AddressOf(WebKitWebResource* resource) {
  const char* uri = webkit_web_resource_get_uri(resource);
  return WithoutFragment(uri ? uri : "");
}

// Loads decided but never seen to start (a navigation cancelled, a download) are not kept
// for ever.
constexpr std::size_t kMostAsked = 64;

}  // namespace

FrameLoads::~FrameLoads() {
  for (auto& [resource, load] : loads_) g_signal_handlers_disconnect_by_data(resource, this);
}

void FrameLoads::NavigationDecided(const std::string& uri) {
  if (asked_.size() < kMostAsked) asked_.insert(WithoutFragment(uri));
}

void FrameLoads::ResourceStarted(WebKitWebResource* resource) {
  // Only the document a navigation asked for is a frame's load; images and scripts are not.
  const std::string address = AddressOf(resource);
  if (asked_.erase(address) == 0) return;
  loads_[resource] = {GObjectPtr<WebKitWebResource>::Retain(resource), address, false};
  g_signal_connect(resource, "finished", G_CALLBACK(OnFinished), this);
  g_signal_connect(resource, "failed", G_CALLBACK(OnFailed), this);
  g_signal_connect(resource, "sent-request", G_CALLBACK(OnSentRequest), this);
  if (BrowserEvents* sink = sink_()) sink->LoadStarted(address, false);
}

void FrameLoads::MovedTo(WebKitWebResource* resource, std::string next) {
  auto it = loads_.find(resource);
  if (it == loads_.end() || next.empty() || next == it->second.address) return;
  // The address asked for answered with another: the load goes on there. Whoever watches the
  // load by its address sees the one end and the other begin.
  std::string from = std::exchange(it->second.address, next);
  it->second.documentComplete = false;
  if (BrowserEvents* sink = sink_()) {
    sink->LoadStopped(from, false);
    sink->LoadStarted(next, false);
  }
}

void FrameLoads::Ended(WebKitWebResource* resource, const GError* error) {
  auto it = loads_.find(resource);
  if (it == loads_.end()) return;
  // Where the resource arrived is the load's address, had a redirect gone unannounced.
  if (!error) {
    MovedTo(resource, AddressOf(resource));
    it = loads_.find(resource);
    if (it == loads_.end()) return;
  }
  g_signal_handlers_disconnect_by_data(resource, this);
  const std::string address = std::move(it->second.address);
  const bool documentComplete = it->second.documentComplete;
  auto held = std::move(it->second.resource);  // the resource outlives its signal's handlers
  loads_.erase(it);
  BrowserEvents* sink = sink_();
  if (!sink) return;
  // A frame whose connection failed shows an empty document, and one answered with an error
  // status shows the server's error page at the frame's own address: neither is the frame.
  if (IsCancellation(error))
    sink->LoadStopped(address, false);
  else if (error)
    sink->LoadFailed({address, false, 0, error->message});
  else if (const int status = ResponseStatus(resource); status >= 400)
    sink->LoadFailed({address, false, status, {}});
  else if (documentComplete)
    sink->LoadFinished(address, false);
  else
    beingParsed_.insert(address);
}

void FrameLoads::DocumentComplete(const std::string& uri) {
  const std::string document = WithoutFragment(uri);
  if (beingParsed_.erase(document)) {
    if (BrowserEvents* sink = sink_()) sink->LoadFinished(document, false);
    return;
  }
  for (auto& [resource, load] : loads_)
    if (load.address == document || AddressOf(resource) == document) load.documentComplete = true;
}

void FrameLoads::PageCommitted() {
  asked_.clear();
  beingParsed_.clear();
}

void FrameLoads::OnFinished(WebKitWebResource* resource, gpointer self) {
  static_cast<FrameLoads*>(self)->Ended(resource, nullptr);
}

void FrameLoads::OnFailed(WebKitWebResource* resource, GError* error, gpointer self) {
  static_cast<FrameLoads*>(self)->Ended(resource, error);
}

void FrameLoads::OnSentRequest(WebKitWebResource* resource, WebKitURIRequest* request,
                               WebKitURIResponse* redirectedFrom, gpointer self) {
  const char* to = webkit_uri_request_get_uri(request);
  if (redirectedFrom && to) static_cast<FrameLoads*>(self)->MovedTo(resource, WithoutFragment(to));
}

}  // namespace larkwend::gtk
