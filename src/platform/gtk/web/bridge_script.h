// SPDX-License-Identifier: GPL-3.0-or-later
// The scripts built into the program: the bridge, which serves the document model from an
// isolated world of every frame (bridge.js), and how pages see the window (page_presence.js).
#pragma once

#include <string>

namespace larkwend::gtk {

// Installs the bridge into the frame it runs in (once; running it again changes nothing). In the
// top frame it answers requests; in every frame it notes which frame a clicked link or a
// submitted form will navigate and reports the frame's own load progress.
const char* BridgeScript();

// For the page's own world of every frame: the page always sees itself shown, and with
// `keepFocus` never sees the window lose the focus (until told otherwise by message).
std::string PagePresenceScript(bool keepFocus);
// Run in the top frame's own world: tells the pages shown now whether the focus is kept.
std::string PagePresenceChange(bool keepFocus);

}  // namespace larkwend::gtk
