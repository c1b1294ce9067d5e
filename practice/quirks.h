// SPDX-License-Identifier: GPL-3.0-or-later
// Everyday quirks of real study platforms, each an option of the practice site: a completion
// refused once, a player frame from another host that fails, an evaluation window opened on
// completion, course links written in odd but valid ways.
#pragma once

#include <mutex>
#include <set>
#include <string>
#include <utility>

#include "options.h"

namespace larkwend::practice {

struct SiteContext;

class Quirks {
 public:
  // Whether this completion of the chapter is the one to refuse: the first, when the chapter is
  // the one --refuse-completion-once names, in each course.
  bool RefuseCompletion(const PracticeOptions& options, int course, int chapter);
  int CompletionsRefused() const;

 private:
  mutable std::mutex mutex_;
  std::set<std::pair<int, int>> refused_;
};

// Markup the content page of a chapter carries besides the chapter: the failing player frame.
std::string QuirkMarkup(const SiteContext& context);
// Where a completion of the chapter sends the student (an evaluation), or empty.
std::string EvaluationAfter(const SiteContext& context, int course, int chapter);
// The course list's link to a course, as the list writes it; `read` counts the list's reads.
std::string CourseLink(const SiteContext& context, int course, int read);
// The evaluation page itself: a page of the study platform that is no chapter page.
std::string EvaluationPage();

}  // namespace larkwend::practice
