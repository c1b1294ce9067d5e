// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform's course list, as a run that studies every course reads it: its links to
// courses' chapter pages, in the list's order.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "browser/web_browser2.h"

namespace larkwend::course_list {

// The addresses (absolute, UTF-8) of the courses the page shown links to, in order and each
// once. Null when the page could not be read or holds no link at all: no course list.
std::optional<std::vector<std::string>> ReadCourses(CWebBrowser2& browser);

// `href` as the browser would follow it from a page of `base`.
std::string Resolve(const std::string& base, const std::string& href);

// The value of the first href attribute in a link's markup, as written.
std::string HrefOf(const std::string& outerHtml);

}  // namespace larkwend::course_list
