// SPDX-License-Identifier: GPL-3.0-or-later
// What the control knows, without asking the page, about navigations of frames of another host.
//
// The bridge in the top page tells a frame's navigation from the page's by what it noted of the
// page and of the frames it can reach: links followed, forms submitted, a frame's address set.
// A frame of another host is out of its reach. That frame's own bridge reports the links it
// follows and the forms it submits to the control instead, before the engine asks about the
// navigation. What such a frame does by script without the student's gesture cannot move the top
// page (the engine refuses it), so a navigation without a gesture that comes from a document of
// another host than the top page's, shown in a frame, is a frame's.
#pragma once

#include <webkit2/webkit2.h>

#include <deque>
#include <optional>
#include <set>
#include <string>

namespace larkwend::gtk {

class FrameNavigations {
 public:
  // A frame of another host than the top page's followed a link or submitted a form to `url`;
  // `frame`: it navigates a frame, not the top page.
  void Noted(std::string url, bool frame, bool form);
  // A frame of the current page shows `uri` (any host).
  void FrameShows(const std::string& uri);
  // Whether a frame of the current page shows the document at `document` (without fragment).
  bool Shows(const std::string& document) const { return frameDocuments_.count(document) > 0; }
  // A new page was committed: its frames are not yet known.
  void PageCommitted() { frameDocuments_.clear(); }

  // Whether the navigation to `uri` is a frame's (true) or the top page's (false); nullopt when
  // only the top page's bridge can tell. `top`: the top page's address.
  std::optional<bool> IsFrame(WebKitNavigationAction* action, const std::string& uri,
                              const std::string& top);

 private:
  struct Intent {
    std::string url;
    bool frame;
    bool form;
    gint64 at;  // monotonic microseconds
  };
  std::deque<Intent> intents_;
  std::set<std::string> frameDocuments_;  // without fragments
};

// "scheme://host:port" of `uri`, lower case; empty when it has none.
std::string OriginOf(const std::string& uri);

}  // namespace larkwend::gtk
