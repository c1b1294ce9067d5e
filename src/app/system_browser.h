// Opening a link in the system's own web browser.
#pragma once

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace larkwend {

// Greater than 32 when the shell opened the link; otherwise the shell's error value (32 or
// less) when no fallback could be prepared, or the result of starting the registered ".htm"
// open command (greater than 31 when it started).
std::intptr_t OpenInSystemBrowser(Platform& platform, const std::string& url);

}  // namespace larkwend
