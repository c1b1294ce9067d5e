// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/site_pages.h"

#include <cctype>
#include <vector>

#include "resources/site_profile.h"

namespace larkwend::site_pages {
namespace {

// The chapter pages, matched in lower case ("Study_v2.aspx").
constexpr std::string_view kChapterPageKey = "study_v";
constexpr std::string_view kUserPagesPath = "kvt/user";
constexpr std::string_view kListFrameKey = "left";
constexpr std::string_view kContentFrameKey = "right";

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

bool Contains(std::string_view text, std::string_view part) {
  return text.find(part) != std::string_view::npos;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
}

bool Unreserved(unsigned char c) {
  return std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~';
}

std::string NormalEscapes(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const int high = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
    const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
    if (low < 0) {
      out += text[i];
      continue;
    }
    const auto byte = static_cast<unsigned char>(high * 16 + low);
    if (Unreserved(byte)) {
      out += static_cast<char>(byte);
    } else {
      out += '%';
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    }
    i += 2;
  }
  return out;
}

// The path without "." and "..": each ".." takes the segment before it away.
std::string WithoutDotSegments(std::string_view path) {
  std::vector<std::string_view> kept;
  std::size_t at = 1;  // past the leading "/"
  while (at <= path.size()) {
    const std::size_t end = std::min(path.find('/', at), path.size());
    const std::string_view segment = path.substr(at, end - at);
    const bool last = end == path.size();
    if (segment == "..") {
      if (!kept.empty()) kept.pop_back();
      if (last) kept.emplace_back();  // "/a/.." is "/", a folder
    } else if (segment == ".") {
      if (last) kept.emplace_back();
    } else {
      kept.push_back(segment);
    }
    at = end + 1;
  }
  std::string out;
  for (std::string_view segment : kept) (out += '/') += segment;
  return out.empty() ? "/" : out;
}

struct Parts {
  std::string scheme, host, port, path, query;  // query with its "?"
};

// Null parts for an address without "scheme://".
bool Split(std::string_view address, Parts& parts) {
  address = address.substr(0, address.find('#'));
  const std::size_t scheme = address.find("://");
  if (scheme == std::string_view::npos || scheme == 0) return false;
  parts.scheme = Lower(address.substr(0, scheme));
  const std::size_t authorityStart = scheme + 3;
  const std::size_t pathStart =
      std::min(address.find_first_of("/?", authorityStart), address.size());
  std::string_view authority = address.substr(authorityStart, pathStart - authorityStart);
  authority = authority.substr(
      authority.rfind('@') == std::string_view::npos ? 0 : authority.rfind('@') + 1);
  const std::size_t colon = authority.rfind(':');
  const bool hasPort =
      colon != std::string_view::npos && authority.find(']', colon) == std::string_view::npos;
  parts.host = Lower(authority.substr(0, hasPort ? colon : authority.size()));
  parts.port = hasPort ? std::string(authority.substr(colon + 1)) : std::string();
  const std::string_view rest = address.substr(pathStart);
  const std::size_t query = rest.find('?');
  parts.path = std::string(rest.substr(0, query));
  parts.query = query == std::string_view::npos ? std::string() : std::string(rest.substr(query));
  return true;
}

std::string Join(const Parts& parts) {
  const bool defaultPort = parts.port.empty() || (parts.scheme == "http" && parts.port == "80") ||
                           (parts.scheme == "https" && parts.port == "443");
  return parts.scheme + "://" + parts.host + (defaultPort ? "" : ":" + parts.port) +
         WithoutDotSegments(NormalEscapes(parts.path.empty() ? "/" : parts.path)) +
         NormalEscapes(parts.query);
}

std::string CanonicalWithoutQuery(std::string_view address) {
  const std::string canonical = Canonical(address);
  return canonical.substr(0, canonical.find('?'));
}

}  // namespace

std::string Canonical(std::string_view address) {
  Parts parts;
  return Split(address, parts) ? Join(parts) : std::string(address.substr(0, address.find('#')));
}

std::string Resolve(std::string_view base, std::string_view href) {
  if (Contains(href.substr(0, href.find_first_of("/?#")), ":")) return Canonical(href);
  Parts parts;
  if (!Split(base, parts)) return std::string(href);
  href = href.substr(0, href.find('#'));
  if (href.starts_with("//")) return Canonical(parts.scheme + ":" + std::string(href));
  if (href.empty()) return Join(parts);
  if (href.starts_with("?")) {
    parts.query = std::string(href);
    return Join(parts);
  }
  const std::size_t query = href.find('?');
  const std::string_view path = href.substr(0, query);
  parts.query = query == std::string_view::npos ? std::string() : std::string(href.substr(query));
  parts.path = path.starts_with("/")
                   ? std::string(path)
                   : parts.path.substr(0, parts.path.rfind('/') + 1) + std::string(path);
  if (!parts.path.starts_with("/")) parts.path.insert(0, "/");
  return Join(parts);
}

bool IsStudyPlatform(std::string_view address) {
  Parts parts;
  return Split(address, parts) && Contains(parts.host, Lower(site::StudyDomainKey));
}

bool IsChapterPage(std::string_view address) {
  const std::string lower = Lower(address);
  return Contains(lower, kChapterPageKey) && Contains(lower, Lower(site::StudyDomainLabel));
}

bool IsCourseList(std::string_view address) {
  return CanonicalWithoutQuery(address) == CanonicalWithoutQuery(site::CourseListUrl);
}

bool IsLoginPage(std::string_view address) {
  // The portal's paths are its server's, which ignores their case.
  return Lower(Canonical(address)).starts_with(Lower(CanonicalWithoutQuery(site::PortalLoginUrl)));
}

bool IsPortalUserPage(std::string_view address) {
  return Contains(Lower(address), kUserPagesPath);
}

ChapterFrame FrameOf(std::string_view address) {
  if (!IsStudyPlatform(address)) return ChapterFrame::kNone;
  const std::string lower = Lower(address);
  if (Contains(lower, kListFrameKey)) return ChapterFrame::kList;
  if (Contains(lower, kContentFrameKey)) return ChapterFrame::kContent;
  return ChapterFrame::kNone;
}

}  // namespace larkwend::site_pages
