// SPDX-License-Identifier: GPL-3.0-or-later
// Starting another program directly: no shell ever sees its arguments.
#pragma once

#include <string>
#include <vector>

namespace larkwend::posix {

// Results in the convention of the program's callers: greater than 31 when the program was
// started, otherwise a small error value.
constexpr unsigned kStarted = 33;
constexpr unsigned kOutOfResources = 0;
constexpr unsigned kFileNotFound = 2;
constexpr unsigned kPathNotFound = 3;
constexpr unsigned kBadFormat = 11;

// Starts args[0] (searched on PATH when it has no slash) with `args` as its argument vector, all
// UTF-8. The program runs on its own: in a session of its own, with none of this process's
// descriptors beyond the standard three, and reaped when it ends.
unsigned StartProgram(const std::vector<std::string>& args);

// Splits a command line in the program's code page by the Windows rules and starts it.
unsigned StartCommandLine(const std::string& gbkCommandLine);

}  // namespace larkwend::posix
