// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/course_list.h"

#include <algorithm>

#include "browser/conversions.h"
#include "resources/site_profile.h"

namespace larkwend::course_list {
namespace {

// A course's chapter page, as the course list links it.
constexpr std::string_view kChapterPageFragment = "Study_v2.aspx";

// "http://host:port" of an absolute address.
std::string Origin(const std::string& address) {
  const std::size_t scheme = address.find("://");
  if (scheme == std::string::npos) return {};
  return address.substr(0, address.find('/', scheme + 3));
}

// Markup keeps "&" as "&amp;" inside attribute values.
std::string Unescape(std::string_view text) {
  std::string plain;
  for (std::size_t at = 0; at < text.size();) {
    const bool entity = text.substr(at, 5) == "&amp;";
    plain += text[at];
    at += entity ? 5 : 1;
  }
  return plain;
}

}  // namespace

std::string HrefOf(const std::string& outerHtml) {
  std::string lower = outerHtml;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  const std::size_t attribute = lower.find("href=");
  if (attribute == std::string::npos) return {};
  std::size_t start = attribute + 5;
  if (start >= outerHtml.size()) return {};
  const char quote = outerHtml[start];
  if (quote == '"' || quote == '\'') {
    const std::size_t end = outerHtml.find(quote, ++start);
    return end == std::string::npos ? std::string()
                                    : Unescape(outerHtml.substr(start, end - start));
  }
  const std::size_t end = outerHtml.find_first_of(" >", start);
  return Unescape(outerHtml.substr(start, end - start));
}

std::string Resolve(const std::string& base, const std::string& href) {
  if (href.find("://") != std::string::npos) return href;
  if (href.starts_with("//")) return base.substr(0, base.find("//")) + href;
  if (href.starts_with("/")) return Origin(base) + href;
  const std::size_t query = base.find_first_of("?#");
  const std::string path = base.substr(0, query);
  return path.substr(0, path.rfind('/') + 1) + href;
}

std::optional<std::vector<std::string>> ReadCourses(CWebBrowser2& browser) {
  dom::Ref<dom::Document> document = browser.GetDocument();
  if (!document) return std::nullopt;
  dom::Ref<dom::ElementCollection> links;
  long length = 0;
  if (dom::Failed(document->get_links(links)) || !links || dom::Failed(links->get_length(length)) ||
      length <= 0)
    return std::nullopt;
  const std::string base = GbkToUtf8(browser.GetLocationURL());
  std::vector<std::string> courses;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    dom::Ref<dom::Element> link;
    dom::WideText html;
    if (dom::Failed(links->item(i, item)) || !item || dom::Failed(dom::Query(item.get(), link)) ||
        dom::Failed(link->get_outerHTML(html)))
      return std::nullopt;
    const std::string href = HrefOf(html.value_or(""));
    if (href.find(kChapterPageFragment) == std::string::npos) continue;
    std::string address = Resolve(base.empty() ? std::string(site::CourseListUrl) : base, href);
    if (std::find(courses.begin(), courses.end(), address) == courses.end())
      courses.push_back(std::move(address));
  }
  return courses;
}

}  // namespace larkwend::course_list
