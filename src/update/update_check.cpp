// SPDX-License-Identifier: GPL-3.0-or-later
#include "update/update_check.h"

#include <cstdint>
#include <cstdio>
#include <limits>
#include <string>

#include "platform/diagnostics.h"
#include "platform/dialog.h"
#include "platform/shell.h"
#include "platform/system_browser.h"
#include "platform/text.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

bool IsCSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

constexpr int kAppMajor = APP_VERSION / 100;

}  // namespace

int ParseVersionNumber(std::string_view text) {
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  std::size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    // Past the 32-bit range the value is clamped; more digits cannot bring it back.
    if (magnitude <= kMax + 1) magnitude = magnitude * 10 + (text[i] - '0');
  }
  std::int64_t value = negative ? -magnitude : magnitude;
  if (value > kMax) return static_cast<int>(kMax);
  if (value < kMin) return static_cast<int>(kMin);
  return static_cast<int>(value);
}

bool QueryUpdateInfo(std::string& text, const UpdateEndpoint& endpoint) {
  CUser user(endpoint);
  if (!user.Connect()) {
    Diagnose("update check: cannot connect to " + endpoint.address + ":" +
             std::to_string(endpoint.port));
    return false;
  }
  if (!user.QueryVersion()) {
    Diagnose("update check: no usable reply (no length, or one out of range)");
    return false;
  }
  text = user.reply() ? user.reply() : "";
  Diagnose("update check: the service replied \"" + GbkToUtf8(text) + "\"");
  return true;
}

int CheckForUpdate(Platform& platform, std::string& downloadUrl) {
  return CheckForUpdate(platform, downloadUrl, DefaultUpdateEndpoint());
}

int CheckForUpdate(Platform& platform, std::string& downloadUrl, const UpdateEndpoint& endpoint) {
  std::string text;
  if (!QueryUpdateInfo(text, endpoint)) return UPDATE_NO_REPLY;
  if (text.empty()) return UPDATE_EMPTY_REPLY;
  // The reply is GBK: a 0x7C that is the second byte of a character is not the bar.
  std::size_t bar = FindGbkByte(text, '|');
  if (bar == std::string::npos) return UPDATE_NO_SEPARATOR;

  int number = ParseVersionNumber(std::string_view(text).substr(0, bar));
  downloadUrl = text.substr(bar + 1);  // kept whatever the comparison says: the banner opens it
  if (number <= APP_VERSION) return UPDATE_NOTHING_NEWER;

  int major = number / 100;
  char prompt[128] = {};
  int declined;
  if (major <= kAppMajor) {
    std::snprintf(prompt, sizeof prompt, Gbk(texts::kOfferNewerMinor).c_str(), major, number % 100);
    declined = UPDATE_DECLINED;
  } else {
    // This version no longer works with the service: going on is not an option.
    std::snprintf(prompt, sizeof prompt, Gbk(texts::kOfferNewerMajor).c_str(), kAppMajor);
    declined = UPDATE_STOP;
  }

  // No window of the program exists yet, so the box has no owner.
  int answer =
      platform.dialogs.MessageBox(prompt, Gbk(texts::kUpdateCaption), MB_YESNO | MB_ICONQUESTION);
  if (answer != IDYES) return declined;

  platform.dialogs.Beep(MB_ICONEXCLAMATION);
  // The plain browser is the last resort, and like the first one it only ever gets a web link.
  if (OpenInSystemBrowser(platform, downloadUrl) <= 32 && IsWebLink(downloadUrl))
    platform.shell.Execute("OPEN", "IEXPLORE", LinkAsOneArgument(downloadUrl), SW_SHOWMAXIMIZED);
  return UPDATE_STOP;
}

}  // namespace larkwend
