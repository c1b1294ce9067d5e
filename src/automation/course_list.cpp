// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/course_list.h"

#include <algorithm>
#include <map>

#include "automation/site_pages.h"
#include "browser/conversions.h"
#include "resources/site_profile.h"

namespace larkwend::course_list {
namespace {

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

// An address's path, and its query parameters by name.
struct Split {
  std::string path;
  std::map<std::string, std::string> parameters;
};

Split SplitAddress(const std::string& address) {
  Split split;
  const std::size_t query = address.find('?');
  // The study platform's server ignores the case of its paths, as arming does.
  split.path = address.substr(0, query);
  std::transform(split.path.begin(), split.path.end(), split.path.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  if (query == std::string::npos) return split;
  std::size_t at = query + 1;
  while (at <= address.size()) {
    const std::size_t end = std::min(address.find('&', at), address.size());
    const std::string pair = address.substr(at, end - at);
    const std::size_t equals = pair.find('=');
    if (!pair.empty())
      split.parameters[pair.substr(0, equals)] =
          equals == std::string::npos ? std::string() : pair.substr(equals + 1);
    at = end + 1;
  }
  return split;
}

// The address less the changing parameters, the others in order of name.
std::string Identity(const std::string& address, const std::set<std::string>& changing) {
  Split split = SplitAddress(address);
  std::string identity = split.path;
  for (const auto& [name, value] : split.parameters)
    if (!changing.contains(name)) identity += "&" + name + "=" + value;
  return identity;
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
    std::string address = site_pages::Resolve(
        base.empty() ? std::string(site::CourseListUrl) : base, HrefOf(html.value_or("")));
    if (!site_pages::IsChapterPage(address)) continue;
    if (std::find(courses.begin(), courses.end(), address) == courses.end())
      courses.push_back(std::move(address));
  }
  return courses;
}

}  // namespace larkwend::course_list

namespace larkwend::course_list {

std::set<std::string> ChangingParameters(const std::vector<std::string>& before,
                                         const std::vector<std::string>& after) {
  std::set<std::string> changing;
  if (before.size() != after.size()) return changing;  // another list: nothing to compare
  std::set<std::string> candidates;
  for (std::size_t i = 0; i < before.size(); ++i) {
    const Split was = SplitAddress(before[i]), is = SplitAddress(after[i]);
    if (was.path != is.path) continue;
    for (const auto& [name, value] : is.parameters)
      if (auto old = was.parameters.find(name); old != was.parameters.end() && old->second != value)
        candidates.insert(name);
  }
  auto values = [](const std::vector<std::string>& list, const std::string& name) {
    std::multiset<std::string> found;
    for (const std::string& address : list) found.insert(SplitAddress(address).parameters[name]);
    return found;
  };
  auto distinct = [&](const std::set<std::string>& left) {
    std::set<std::string> identities;
    for (const std::string& address : after) identities.insert(Identity(address, left));
    return identities.size();
  };
  const std::size_t courses = distinct({});
  for (const std::string& name : candidates) {
    // The same values in another order name the courses of a list sorted anew: not a token.
    if (values(before, name) == values(after, name)) continue;
    // Nor is a parameter without which two courses of the list could not be told apart.
    std::set<std::string> with = changing;
    with.insert(name);
    if (distinct(with) == courses) changing = std::move(with);
  }
  return changing;
}

bool Courses::Contains(const std::string& address, const std::vector<std::string>& list,
                       const std::set<std::string>& changing) const {
  const std::string identity = Identity(address, changing);
  const Split course = SplitAddress(address);
  // The parameters whose values tell the list's courses apart, each from every other.
  std::set<std::string> telling;
  if (list.size() > 1) {
    for (const auto& [name, value] : course.parameters) {
      std::set<std::string> values;
      for (const std::string& other : list) {
        const Split split = SplitAddress(other);
        if (auto found = split.parameters.find(name); found != split.parameters.end())
          values.insert(found->second);
      }
      if (values.size() == list.size()) telling.insert(name);
    }
  }
  return std::any_of(addresses_.begin(), addresses_.end(), [&](const std::string& known) {
    if (Identity(known, changing) == identity) return true;
    const Split was = SplitAddress(known);
    if (was.path != course.path) return false;
    return std::any_of(telling.begin(), telling.end(), [&](const std::string& name) {
      auto value = was.parameters.find(name);
      return value != was.parameters.end() && value->second == course.parameters.at(name);
    });
  });
}

}  // namespace larkwend::course_list
