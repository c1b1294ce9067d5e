// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform's course list, as a run that studies every course reads it: its links to
// courses' chapter pages, in the list's order, and which of them a run is done with, however
// the list writes their links from one read to the next.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "browser/web_browser2.h"

namespace larkwend::course_list {

// The addresses (canonical, UTF-8) of the courses the page shown links to, in order and each
// once. Null when the page could not be read or holds no link at all.
std::optional<std::vector<std::string>> ReadCourses(CWebBrowser2& browser);

// The value of the first href attribute in a link's markup, as written.
std::string HrefOf(const std::string& outerHtml);

// The names of the query parameters whose values changed between two reads of one list (a token,
// a time): the same course, at the same place with the same path, written with another value.
std::set<std::string> ChangingParameters(const std::vector<std::string>& before,
                                         const std::vector<std::string>& after);

// Courses, each known by its address less the parameters that change between reads, its path in
// any case. In a list of several, a course is also known by a parameter that tells every course
// of the list from the others (its number), whatever the rest of its address says (a token).
class Courses {
 public:
  void Add(const std::string& address) { addresses_.push_back(address); }
  // Whether `address`, a course of `list`, is one of these.
  bool Contains(const std::string& address, const std::vector<std::string>& list,
                const std::set<std::string>& changing) const;
  bool empty() const { return addresses_.empty(); }
  void clear() { addresses_.clear(); }

 private:
  std::vector<std::string> addresses_;
};

}  // namespace larkwend::course_list
