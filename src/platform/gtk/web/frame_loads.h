// SPDX-License-Identifier: GPL-3.0-or-later
// The documents the page's frames load, as facts for the program: each load started, and ended
// once, whatever host the frame's document comes from.
//
// A frame's load is known by its document resource: the resource of an address a navigation
// decision asked for. It has ended once that resource has arrived and the bridge in the frame
// reports its document complete; a page may spin in a script while it is parsed. The two come in
// either order (the bridge's report usually first), and both name the address where the load
// ended: a redirect moves the load to another address, which is reported as the load of the
// address asked for giving way to a load of the new one, so that every load reported started is
// reported ended under the same address.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <map>
#include <set>
#include <string>

#include "platform/browser_control.h"
#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {

class FrameLoads {
 public:
  // `sink` gives the events' receiver, or null while nobody listens.
  explicit FrameLoads(std::function<BrowserEvents*()> sink) : sink_(std::move(sink)) {}
  ~FrameLoads();
  FrameLoads(const FrameLoads&) = delete;
  FrameLoads& operator=(const FrameLoads&) = delete;

  // A navigation to `uri` was decided: a document load of that address follows.
  void NavigationDecided(const std::string& uri);
  // A resource of the page began to load; one a navigation asked for, other than the top-level
  // page's, is a frame's document.
  void ResourceStarted(WebKitWebResource* resource);
  // The bridge in a frame reports its document at `uri` complete.
  void DocumentComplete(const std::string& uri);
  // A new page was committed: what the old one asked for and parsed is forgotten.
  void PageCommitted();

 private:
  struct Load {
    GObjectPtr<WebKitWebResource> resource;
    std::string address;  // where the load is now: as asked for, or where a redirect sent it
    bool documentComplete = false;
  };

  void Ended(WebKitWebResource* resource, const GError* error);
  // The load of `resource` goes on at `next` (a redirect).
  void MovedTo(WebKitWebResource* resource, std::string next);
  static void OnFinished(WebKitWebResource* resource, gpointer self);
  static void OnFailed(WebKitWebResource* resource, GError* error, gpointer self);
  static void OnSentRequest(WebKitWebResource* resource, WebKitURIRequest* request,
                            WebKitURIResponse* redirectedFrom, gpointer self);

  std::function<BrowserEvents*()> sink_;
  std::set<std::string> asked_;  // decided, their documents' loads not yet seen
  std::map<WebKitWebResource*, Load> loads_;
  // Arrived, their documents not yet complete: by the address they arrived from.
  std::set<std::string> beingParsed_;
};

}  // namespace larkwend::gtk
