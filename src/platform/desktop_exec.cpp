// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/desktop_exec.h"

#include "platform/command_line.h"

namespace larkwend {
namespace {

std::string ExpandFieldCodes(const std::string& arg) {
  std::string out;
  for (std::size_t i = 0; i < arg.size(); ++i) {
    if (arg[i] != '%' || i + 1 == arg.size()) {
      out += arg[i];
      continue;
    }
    char code = arg[++i];
    if (code == 'u' || code == 'U' || code == 'f' || code == 'F')
      out += "%1";
    else if (code == '%')
      out += '%';
    // Icons, names, entry locations and the deprecated codes have no counterpart.
  }
  return out;
}

}  // namespace

std::string OpenCommandFromExec(const std::vector<std::string>& execArgs) {
  std::vector<std::string> args;
  for (const std::string& arg : execArgs) {
    std::string expanded = ExpandFieldCodes(arg);
    if (expanded.empty() && !arg.empty()) continue;
    args.push_back(std::move(expanded));
  }
  return JoinCommandLine(args);
}

}  // namespace larkwend
