// SPDX-License-Identifier: GPL-3.0-or-later
// Command lines: joining and splitting are inverse, a desktop Exec line becomes an open command
// that splits back into its arguments, and the system-browser fallback cuts the registered command
// at its placeholder and hands the link over as the last argument of its own, to no shell, or
// starts nothing.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "platform/command_line.h"
#include "platform/desktop_exec.h"
#include "platform/system_browser.h"
#include "platform/text.h"

namespace larkwend::fuzz {
namespace {

using Args = std::vector<std::string>;

// A program name with a quote in it cannot be written in the Windows convention.
bool IsWritable(const Args& args) {
  return args.empty() || args[0].find('"') == std::string::npos;
}

void CheckJoinAndSplit(const Args& args, std::string_view line) {
  if (IsWritable(args))
    Require(SplitCommandLine(JoinCommandLine(args)) == args, "Split(Join(args)) == args");
  Args split = SplitCommandLine(line);
  if (IsWritable(split))
    Require(SplitCommandLine(JoinCommandLine(split)) == split, "a split line joins back");
}

void CheckDesktopExec(const Args& execArgs) {
  Args open = SplitCommandLine(OpenCommandFromExec(execArgs));
  // When no argument was dropped, one without field codes comes through unchanged.
  // Any argument may end up as the program once field codes are dropped before it.
  for (const std::string& arg : execArgs)
    if (arg.find('"') != std::string::npos) return;
  Require(open.size() <= execArgs.size(), "field codes never add arguments");
  if (open.size() != execArgs.size()) return;
  for (std::size_t i = 0; i < open.size(); ++i)
    if (execArgs[i].find('%') == std::string::npos)
      Require(open[i] == execArgs[i], "arguments without field codes pass unchanged");
}

bool IsShellWord(std::string_view word) {
  std::size_t slash = word.find_last_of('/');
  std::string_view name = slash == std::string_view::npos ? word : word.substr(slash + 1);
  return name == "sh" || name == "bash" || name == "dash" || name == "zsh";
}

// The fallback for one registered command: when it gives a line, that line is the command cut
// right before a placeholder (or whole, when it has none), a blank and the link, and it starts a
// program with the link exactly as its last argument, and no shell script.
void CheckFallback(std::string_view registered, std::string_view url) {
  std::optional<std::string> line = FallbackCommandLine(registered, url);
  if (!line) return;
  Require(line->size() < kCommandBufferSize, "the line fits the command buffer");
  const std::string link = LinkAsOneArgument(url);
  const std::string tail = " " + link;
  Require(line->ends_with(tail), "a blank and the link end the line");
  const std::string_view kept = std::string_view(*line).substr(0, line->size() - tail.size());
  const std::string_view dropped = registered.substr(std::min(kept.size(), registered.size()));
  Require(registered.starts_with(kept) &&
              (dropped.empty() || dropped.starts_with("%1") || dropped.starts_with("\"%1\"")),
          "the registered command is kept up to its placeholder");
  Args started = SplitCommandLine(GbkToUtf8(*line));
  Require(started.size() >= 2, "a program and the link");
  Require(started.back() == GbkToUtf8(link), "the link is the last argument, whole and alone");
  Require(!started[0].empty(), "a program to start");
  bool shell = false;
  for (std::size_t i = 0; i + 1 < started.size(); ++i) {
    Require(!(shell && started[i] == "-c"), "no shell runs a script of its own");
    shell = shell || IsShellWord(started[i]);
  }
}

// Words from a harmless alphabet, none of them a shell: such a command always takes the link.
std::string Harmless(std::string_view s) {
  std::string out = "w";
  for (char c : s)
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '/' || c == '=')
      out += c;
  return out;
}

// `glued`: the placeholder ends the word before it ("--url=%1") instead of standing alone.
void CheckPlainCommandIsTaken(const Args& args, std::size_t placeholder, bool glued) {
  Args registered;
  for (const std::string& arg : args) registered.push_back(Harmless(arg));
  if (registered.empty()) return;
  placeholder = std::min(placeholder, registered.size());
  if (glued && placeholder > 0)
    registered[placeholder - 1] += "%1";
  else
    registered.insert(registered.begin() + static_cast<long>(placeholder), "%1");
  if (placeholder == 0) registered[0].swap(registered[1]);  // the program stays the program
  std::string command = JoinCommandLine(registered);
  if (command.size() >= kValueBufferSize) return;
  std::optional<std::string> line = FallbackCommandLine(command, "http://h/");
  Require(line.has_value(), "a plain command with its placeholder takes the link");
}

}  // namespace
}  // namespace larkwend::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace larkwend::fuzz;
  FuzzedDataProvider input(data, size);
  std::size_t placeholder = input.ConsumeIntegralInRange<std::size_t>(0, 4);
  const bool glued = input.ConsumeBool();
  std::string url = "http://" + input.ConsumeRandomLengthString(64);
  std::string line = input.ConsumeRandomLengthString(256);
  Args args;
  while (input.remaining_bytes() > 0 && args.size() < 8)
    args.push_back(input.ConsumeRandomLengthString(64));

  CheckJoinAndSplit(args, line);
  CheckDesktopExec(args);
  CheckFallback(line, url);  // any registered text
  CheckFallback(larkwend::Utf8ToGbk(larkwend::OpenCommandFromExec(args)), url);  // from Exec
  CheckPlainCommandIsTaken(args, placeholder, glued);
  return 0;
}
