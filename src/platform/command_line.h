// SPDX-License-Identifier: GPL-3.0-or-later
// Command lines in the Windows convention: one text that the started program splits into its
// arguments itself. The program hands such texts to the shell service (the registered open
// command of a file type, with the link appended), and this is how they become an argument list
// that is started directly, with no shell in between.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace larkwend {

// Splits a command line as the Windows command-line parser does:
// - the program name ends at the next double quote when it starts with one, otherwise at the
//   first blank or tab; backslashes in it are plain characters;
// - the other arguments are separated by blanks and tabs outside double quotes;
// - 2n backslashes before a double quote give n backslashes and the quote opens or closes a
//   quoted part; 2n+1 backslashes give n backslashes and a literal quote; backslashes not
//   before a quote are plain characters;
// - inside a quoted part, a doubled quote gives one literal quote and ends the quoted part
//   (three quotes in a row give one quote and stay inside).
// Works on UTF-8 (or any text whose multi-byte characters never contain ASCII bytes). An empty
// or all-blank line gives no arguments.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// The inverse: a command line that SplitCommandLine turns back into `args`. A program name that
// contains a double quote cannot be written in this convention; it is quoted as it is.
std::string JoinCommandLine(const std::vector<std::string>& args);

}  // namespace larkwend
