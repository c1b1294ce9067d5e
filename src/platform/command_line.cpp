// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/command_line.h"

namespace larkwend {
namespace {

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Appends an argument after the program name, quoted only when it must be.
void AppendArgument(std::string& line, std::string_view arg) {
  bool needsQuotes = arg.empty() || arg.find_first_of(" \t\"") != std::string_view::npos;
  if (!needsQuotes) {
    line += arg;
    return;
  }
  line += '"';
  std::size_t backslashes = 0;
  for (char c : arg) {
    if (c == '\\') {
      ++backslashes;
      continue;
    }
    // Backslashes count double only where a quote follows them.
    line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
    backslashes = 0;
    line += c;
  }
  line.append(backslashes * 2, '\\');  // the closing quote follows them
  line += '"';
}

}  // namespace

std::vector<std::string> SplitCommandLine(std::string_view line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  const std::size_t n = line.size();
  auto skipBlanks = [&] {
    while (i < n && IsBlank(line[i])) ++i;
  };

  skipBlanks();
  if (i == n) return args;

  // The program name follows rules of its own: no escapes, and a quoted name ends at the very
  // next quote.
  std::string program;
  if (line[i] == '"') {
    for (++i; i < n && line[i] != '"'; ++i) program += line[i];
    if (i < n) ++i;
  } else {
    for (; i < n && !IsBlank(line[i]); ++i) program += line[i];
  }
  args.push_back(std::move(program));

  skipBlanks();
  if (i == n) return args;

  std::string current;
  std::size_t backslashes = 0;  // run of backslashes just copied into `current`
  int quotes = 0;               // 0: outside a quoted part
  while (i < n) {
    char c = line[i];
    if (IsBlank(c) && quotes == 0) {
      args.push_back(std::move(current));
      current.clear();
      backslashes = 0;
      skipBlanks();
      if (i == n) return args;
      continue;
    }
    ++i;
    if (c == '\\') {
      current += c;
      ++backslashes;
      continue;
    }
    if (c != '"') {
      current += c;
      backslashes = 0;
      continue;
    }
    // A quote: the backslashes before it are halved; an odd one out escapes it.
    current.resize(current.size() - backslashes / 2);
    if (backslashes % 2 == 0) {
      ++quotes;
    } else {
      current.back() = '"';
    }
    backslashes = 0;
    for (; i < n && line[i] == '"'; ++i) {
      if (++quotes == 3) {
        current += '"';
        quotes = 0;
      }
    }
    if (quotes == 2) quotes = 0;
  }
  args.push_back(std::move(current));
  return args;
}

std::string JoinCommandLine(const std::vector<std::string>& args) {
  std::string line;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (k == 0) {
      bool needsQuotes = args[0].empty() || args[0].find_first_of(" \t") != std::string::npos;
      line += needsQuotes ? '"' + args[0] + '"' : args[0];
      continue;
    }
    line += ' ';
    AppendArgument(line, args[k]);
  }
  return line;
}

}  // namespace larkwend
