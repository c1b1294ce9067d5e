// SPDX-License-Identifier: GPL-3.0-or-later
// How many round trips into pages the bridges have made: a count kept for measuring the bridge
// from outside (the end-to-end tests and benchmarks read it through tests/support). The program
// itself never reads it.
#pragma once

#include <cstdint>

namespace larkwend::gtk {

// Round trips made by every bridge of the process since it started (GUI thread).
extern const std::uint64_t& g_bridgeRoundTrips;

}  // namespace larkwend::gtk
