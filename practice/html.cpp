// SPDX-License-Identifier: GPL-3.0-or-later
#include "html.h"

#include <cstdio>

namespace larkwend::practice {

std::string EscapeHtml(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string HtmlPage(std::string_view title, std::string_view body, std::string_view head) {
  std::string page = "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>";
  page += EscapeHtml(title);
  page += "</title>";
  page += head;
  page += "</head><body>\n";
  page += body;
  page += "\n</body></html>\n";
  return page;
}

std::string FormatStudyTime(long long seconds) {
  if (seconds < 0) seconds = 0;
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld", seconds / 3600, seconds / 60 % 60,
                seconds % 60);
  return buf;
}

}  // namespace larkwend::practice
