// SPDX-License-Identifier: GPL-3.0-or-later
// What a page of the two sites is, told by its address: the one place that knows how the portal
// and the study platform name their pages. Every part of the program that needs to know asks
// here. Addresses are UTF-8, as the browser reports them.
#pragma once

#include <string>
#include <string_view>

namespace larkwend::site_pages {

// `address` in one spelling, so that two ways of writing one page compare equal: scheme and host
// in lower case, no default port (80, 443), "." and ".." resolved out of the path, letters,
// digits and "-._~" never percent-encoded and every other escape in capitals, no fragment.
std::string Canonical(std::string_view address);
// `href` as the browser would follow it from a page at `base`, in canonical spelling.
std::string Resolve(std::string_view base, std::string_view href);

// A page of the study platform, by its host.
bool IsStudyPlatform(std::string_view address);
// A course's chapter page ("Study_v2.aspx" on the study platform), in any case.
bool IsChapterPage(std::string_view address);
// The study platform's course list.
bool IsCourseList(std::string_view address);
// The portal's login page, whatever it carries after its address (a page to return to).
bool IsLoginPage(std::string_view address);
// One of the portal's pages for a logged-in student ("kvt/user").
bool IsPortalUserPage(std::string_view address);

// Which of a chapter page's own frames a frame's document is: told by "left" and "right" in the
// addresses the study platform gives them. A frame of any other address (a player, an advert,
// another site's) is none of them.
enum class ChapterFrame { kNone, kList, kContent };
ChapterFrame FrameOf(std::string_view address);

}  // namespace larkwend::site_pages
