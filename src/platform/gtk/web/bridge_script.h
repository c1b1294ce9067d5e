// SPDX-License-Identifier: GPL-3.0-or-later
// The script that serves the document model from an isolated world of every frame (bridge.js,
// built into the program).
#pragma once

namespace larkwend::gtk {

// Installs the bridge into the frame it runs in (once; running it again changes nothing). In the
// top frame it answers requests; in every frame it notes which frame a clicked link or a
// submitted form will navigate and reports the frame's own load progress.
const char* BridgeScript();

}  // namespace larkwend::gtk
