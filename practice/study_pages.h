// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform: the course list, the two-frame chapter page with its chapter list and
// content frames, the content frame's heartbeat and completion requests, and the scripts the
// pages load (jQuery and the site's own pop-up helper).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "host_router.h"
#include "site_context.h"

namespace larkwend::practice {

// The chapter page: the frameset of a course's chapter list and content frames.
inline constexpr const char* kChapterPagePath = "/stu/Study_v2.aspx";
// Where an open content frame posts its heartbeats.
inline constexpr const char* kHeartbeatPath = "/stu/heartbeat.aspx";

// The chapter's address in the content frame, e.g. "/stu/book_right.aspx?id=1-003". Chapter
// numbers have a fixed width so that no chapter's address is a prefix of another's, and the
// address holds no "&", so it reads the same in every attribute serialisation.
std::string ChapterPath(int course, int chapter);
// The chapter-list frame's address for a course, e.g. "/stu/book_left.aspx?courseId=1".
std::string ChapterListPath(int course);
// The content frame's placeholder, shown until a chapter is chosen: the content page's address
// with the course instead of a chapter, e.g. "/stu/book_right.aspx?courseId=1".
std::string ContentPlaceholderPath(int course);
// Parses the `id` of a chapter address ("1-003") into course and chapter.
std::optional<std::pair<int, int>> ParseChapterId(std::string_view id);

// Answers `request` as the study platform does once it has signed the student out
// (--sign-out-how); false when the request is answered as usual. Scripts are served either way.
bool AnswerSignedOut(SiteContext& context, const httplib::Request& request,
                     httplib::Response& response);

// `jquery` is the text of jQuery, served as /js/jquery.min.js (empty: that path is a 404).
void AddStudyPages(HostRouter& router, SiteContext& context, std::string jquery);

}  // namespace larkwend::practice
