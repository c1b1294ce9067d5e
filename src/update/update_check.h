// SPDX-License-Identifier: GPL-3.0-or-later
// The version gate at start-up: one exchange with the update service, then go on, offer the
// download, or stop.
#pragma once

#include <string>
#include <string_view>

#include "platform/platform.h"
#include "update/user.h"

namespace larkwend {

constexpr int APP_VERSION = 301;
constexpr int UPDATE_STOP = 95279527;

// Results besides UPDATE_STOP.
constexpr int UPDATE_NOTHING_NEWER = 1;
constexpr int UPDATE_DECLINED = 0;
constexpr int UPDATE_NO_REPLY = -1;
constexpr int UPDATE_EMPTY_REPLY = -2;
constexpr int UPDATE_NO_SEPARATOR = -3;

// Asks the update service for the newest version; stores the link it sends in `downloadUrl`.
// UPDATE_STOP means the program must end before its window opens; every other result lets it
// go on.
int CheckForUpdate(Platform& platform, std::string& downloadUrl);
// The same against another service (tests, benchmarks).
int CheckForUpdate(Platform& platform, std::string& downloadUrl, const UpdateEndpoint& endpoint);

// One exchange: true when the service answered, with its text (up to the first zero byte) in
// `text`; false, with `text` untouched, when it did not.
bool QueryUpdateInfo(std::string& text, const UpdateEndpoint& endpoint);

// The version number in front of the bar, read as strtol reads a decimal number (leading white
// space, a sign, digits up to the first other character; none gives 0), clamped to 32 bits.
int ParseVersionNumber(std::string_view text);

}  // namespace larkwend
