// SPDX-License-Identifier: GPL-3.0-or-later
// Opening a link in the system's own web browser.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace larkwend {

// Sizes of the fallback's buffers: the command line built, and one registry value read.
constexpr std::size_t kCommandBufferSize = 520;
constexpr std::size_t kValueBufferSize = 260;

// The shell's "file not found": what a link that is not handed on at all gets.
constexpr std::intptr_t kLinkRefused = 2;

// Only http and https links ever leave the program: a link from the update service could name
// anything, and a local file or another scheme must not be opened on its word.
bool IsWebLink(std::string_view url);

// The link as it is written into a command line: blanks, tabs, quotes and control characters are
// percent-encoded, so that the started program receives the whole link as one argument.
std::string LinkAsOneArgument(std::string_view url);

// The fallback's command line: the registered open command `registered` (a Windows-style command
// line in the code page) cut right before its placeholder ("%1", quoted or not), a blank, and the
// link as one argument: "b --url=%1" gives "b --url= <link>". The link always arrives whole as the
// last argument of its own. Nothing when that cannot be made sure of: a quote left open before
// the placeholder would take the link into its argument, the link would be the program, no
// program is left, the command starts a shell with a script of its own (-c), or the line would
// not fit the command buffer.
std::optional<std::string> FallbackCommandLine(std::string_view registered, std::string_view url);

// Greater than 32 when the shell opened the link; otherwise the shell's error value (32 or
// less) when no fallback could be prepared, or the result of starting the registered ".htm"
// open command (greater than 31 when it started). A link that is not http or https is refused
// with kLinkRefused and nothing is started.
std::intptr_t OpenInSystemBrowser(Platform& platform, const std::string& url);

}  // namespace larkwend
