#include "platform/system_browser.h"

#include <array>
#include <cstdio>
#include <optional>

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

// The registered ".htm" open command, cut before its placeholder, with the link appended; nothing
// when there is none or it would not fit the command buffer.
std::optional<std::string> FallbackCommand(FileAssociations& associations, const std::string& url) {
  std::optional<std::string> fileType = ReadDefaultValue(associations, std::string(kHtmlExtension));
  if (!fileType) return std::nullopt;
  std::optional<std::string> command =
      ReadDefaultValue(associations, *fileType + std::string(kOpenCommandSuffix));
  if (!command) return std::nullopt;

  // "%1" in quotes goes with its quotes; whatever followed the placeholder is dropped.
  std::size_t cut = FindGbk(*command, "\"%1\"");
  if (cut == std::string::npos) cut = FindGbk(*command, "%1");
  if (cut != std::string::npos) command->resize(cut);

  std::string link = LinkAsOneArgument(url);
  // The command, a blank, the link and the terminating zero must fit the command buffer.
  if (command->size() + 1 + link.size() + 1 > kCommandBufferSize) return std::nullopt;
  *command += ' ';
  *command += link;
  return command;
}

}  // namespace

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
