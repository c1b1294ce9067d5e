// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge's round trips into pages, as the end-to-end tests and benchmarks count them.
#pragma once

#include <cstdint>

namespace larkwend::e2e {

// Round trips made by every bridge of the process since it started. GUI thread.
std::uint64_t BridgeRoundTrips();

}  // namespace larkwend::e2e
