// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_browser.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

#include "platform/command_line.h"
#include "platform/shell.h"
#include "platform/text.h"

namespace larkwend {
namespace {

constexpr std::string_view kHtmlExtension = ".htm";
constexpr std::string_view kOpenCommandSuffix = "\\shell\\open\\command";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The default value of one association key, read through a value buffer of its fixed size.
// Nothing when the key is missing, its value does not fit, or it is empty.
std::optional<std::string> ReadDefaultValue(FileAssociations& associations,
                                            const std::string& subKey) {
  FileAssociations::Key key = 0;
  if (associations.OpenKey(subKey, key) != FileAssociations::kSuccess) return std::nullopt;
  std::array<char, kValueBufferSize> value{};
  long status = associations.QueryDefaultValue(key, value.data(), static_cast<long>(value.size()));
  associations.CloseKey(key);
  value.back() = '\0';  // whatever the service did, the text ends inside the buffer
  if (status != FileAssociations::kSuccess || value[0] == '\0') return std::nullopt;
  return std::string(value.data());
}

// A program that runs a script given on its command line: the shells, whose script follows -c.
bool IsShell(std::string_view program) {
  std::size_t slash = program.find_last_of("/\\");
  std::string_view name = slash == std::string_view::npos ? program : program.substr(slash + 1);
  for (std::string_view shell : {"sh", "bash", "rbash", "dash", "ash", "zsh", "ksh", "ksh93",
                                 "mksh", "pdksh", "yash", "posh", "csh", "tcsh", "fish", "busybox"})
    if (name == shell) return true;
  return false;
}

// Whether the arguments start a shell with a script of its own: a shell, then an option with a
// "c" in it (-c, -ec, --command). Arguments are also read word by word, quotes taken off, since a
// wrapper such as "env -S" splits one argument into a command of its own.
bool StartsAShellScript(const std::vector<std::string>& args) {
  constexpr std::string_view kWordBreaks = " \t'\"";
  bool afterShell = false;
  for (const std::string& arg : args) {
    std::size_t start = 0;
    while ((start = arg.find_first_not_of(kWordBreaks, start)) != std::string::npos) {
      std::size_t end = std::min(arg.find_first_of(kWordBreaks, start), arg.size());
      std::string_view word = std::string_view(arg).substr(start, end - start);
      if (afterShell && word.front() == '-' && word.find('c') != std::string_view::npos)
        return true;
      afterShell = afterShell || IsShell(word);
      start = end;
    }
  }
  return false;
}

// The registered ".htm" open command, with the link for its placeholder; nothing when there is
// none or it would not do.
std::optional<std::string> FallbackCommand(FileAssociations& associations, const std::string& url) {
  std::optional<std::string> fileType = ReadDefaultValue(associations, std::string(kHtmlExtension));
  if (!fileType) return std::nullopt;
  std::optional<std::string> command =
      ReadDefaultValue(associations, *fileType + std::string(kOpenCommandSuffix));
  if (!command) return std::nullopt;
  return FallbackCommandLine(*command, url);
}

}  // namespace

std::optional<std::string> FallbackCommandLine(std::string_view registered, std::string_view url) {
  // The command ends right before its placeholder ("%1" in quotes goes with its quotes), whatever
  // followed it is dropped, and a blank and the link are appended.
  std::string line(registered);
  std::size_t cut = FindGbk(line, "\"%1\"");
  if (cut == std::string::npos) cut = FindGbk(line, "%1");
  if (cut != std::string::npos) line.resize(cut);
  const std::string link = LinkAsOneArgument(url);
  // The command, a blank, the link and the terminating zero must fit the command buffer.
  if (line.size() + 1 + link.size() + 1 > kCommandBufferSize) return std::nullopt;
  line += ' ';
  line += link;

  // Started only when the link arrives whole as the last argument of its own, after a program
  // that is not the link, and no shell runs a script of its own: a quote left open before the
  // placeholder would take the link into its argument, a bare placeholder would make it the
  // program. Starting splits the line after converting it to UTF-8, and so does this check.
  std::vector<std::string> args = SplitCommandLine(GbkToUtf8(line));
  if (args.size() < 2 || args.front().empty() || args.back() != GbkToUtf8(link))
    return std::nullopt;
  args.pop_back();
  if (StartsAShellScript(args)) return std::nullopt;
  return line;
}

bool IsWebLink(std::string_view url) {
  return StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://");
}

std::string LinkAsOneArgument(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (char c : url) {
    auto byte = static_cast<unsigned char>(c);
    if (byte <= 0x20 || byte == 0x7F || c == '"') {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out;
}

std::intptr_t OpenInSystemBrowser(Platform& platform, const std::string& url) {
  // The link is a zero-terminated text: anything after an embedded zero is not part of it.
  std::string link(url.c_str());
  if (!IsWebLink(link)) return kLinkRefused;

  std::intptr_t shellResult = platform.shell.Execute("open", link, "", SW_SHOW);
  if (static_cast<std::uintptr_t>(shellResult) > 32) return shellResult;

  std::optional<std::string> command = FallbackCommand(platform.associations, link);
  if (!command) return shellResult;
  return platform.shell.StartCommandLine(*command, SW_SHOW);
}

}  // namespace larkwend
