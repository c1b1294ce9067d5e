// SPDX-License-Identifier: GPL-3.0-or-later
#include "e2e_round_trips.h"

#include "platform/gtk/web/bridge_round_trips.h"

namespace larkwend::e2e {

std::uint64_t BridgeRoundTrips() {
  return gtk::g_bridgeRoundTrips;
}

}  // namespace larkwend::e2e
