// SPDX-License-Identifier: GPL-3.0-or-later
#include "quirks.h"

#include <cctype>

#include "html.h"
#include "site_context.h"

namespace larkwend::practice {

bool Quirks::RefuseCompletion(const PracticeOptions& options, int course, int chapter) {
  if (options.refuseCompletionOnce != chapter) return false;
  const std::lock_guard lock(mutex_);
  return refused_.insert({course, chapter}).second;
}

int Quirks::CompletionsRefused() const {
  const std::lock_guard lock(mutex_);
  return static_cast<int>(refused_.size());
}

std::string QuirkMarkup(const SiteContext& context) {
  if (!context.options.foreignFrame) return {};
  // Another host, on this server's port: it answers no host but its own two, with an error.
  return "<iframe id=\"player\" width=\"320\" height=\"60\" "
         "src=\"http://player.qmvideo.localhost:" +
         std::to_string(context.httpPort) + "/embed.html\"></iframe>\n";
}

std::string EvaluationAfter(const SiteContext& context, int course, int chapter) {
  if (context.options.evaluationChapter != chapter) return {};
  return "/stu/evaluate.aspx?courseId=" + std::to_string(course);
}

std::string CourseLink(const SiteContext& context, int course, int read) {
  const std::string number = std::to_string(course);
  // Over TLS the list sends the student to the platform's https address.
  if (!context.options.oddCourseLinks)
    return (context.tlsPort ? context.StudyOrigin() : "") + "/stu/Study_v2.aspx?courseId=" + number;
  // Each way a real list has been seen to write the same kind of link, in turn.
  switch (course % 4) {
    case 1:
      return "../stu/./Study_v2.aspx?courseId=" + number;
    case 2: {
      std::string host = context.addresses.studyHost;
      for (char& c : host) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      return "HTTP://" + host + ":" + std::to_string(context.httpPort) +
             "/stu/Study_v2.aspx?courseId=" + number;
    }
    case 3:  // a token new at every read of the list
      return "/stu/Study_v2.aspx?courseId=" + number + "&t=" + std::to_string(read * 7919 + course);
    default: {  // the path in lower case, the number percent-encoded
      std::string escaped;
      for (char digit : number) (escaped += "%3") += digit;
      return "/stu/study_v2.aspx?courseId=" + escaped;
    }
  }
}

std::string EvaluationPage() {
  return HtmlPage("课程评价",
                  "<h3>课程评价</h3>\n<p>请为本课程打分：</p>\n"
                  "<input type=\"radio\" name=\"score\" value=\"5\">满意 "
                  "<input type=\"radio\" name=\"score\" value=\"3\">一般\n",
                  "");
}

}  // namespace larkwend::practice
