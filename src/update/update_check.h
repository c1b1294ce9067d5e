// The version gate at start-up: one exchange with the update service, then go on, offer the
// download, or stop.
#pragma once

#include <string>

#include "platform/platform.h"

namespace larkwend {

constexpr int APP_VERSION = 301;
constexpr int UPDATE_STOP = 95279527;

// Asks the update service for the newest version; stores the link it sends in `downloadUrl`.
// UPDATE_STOP means the program must end before its window opens.
int CheckForUpdate(Platform& platform, std::string& downloadUrl);

}  // namespace larkwend
