// SPDX-License-Identifier: GPL-3.0-or-later
#include "study_pages.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "clips.h"
#include "courseware.h"
#include "html.h"
#include "http_util.h"
#include "json.h"
#include "portal_frames.h"
#include "portal_pages.h"

namespace larkwend::practice {
namespace {

// The frames' names; the chapter links open their chapter in the content frame by name.
constexpr const char* kListFrame = "chapterList";
constexpr const char* kContentFrame = "chapterContent";

// How often an open content frame reports to the server, in real milliseconds.
constexpr int kHeartbeatMs = 250;

const char* kStudyStyle =
    "<style>body{font-family:sans-serif;margin:1em}li{margin:.4em 0}.done{color:#888}"
    ".undone a{font-weight:bold}#TB_overlay{position:fixed;left:0;top:0;width:100%;height:100%;"
    "background:#000;opacity:.4}#TB_window{position:fixed;left:20%;top:25%;width:60%;"
    "background:#fff;border:2px solid #369;padding:1em}#TB_title{font-weight:bold;"
    "border-bottom:1px solid #369;margin-bottom:.5em}</style>";

// The site's pop-up helper, in the style of the thickbox plug-ins: tb_show opens a box over the
// page, tb_remove closes it (and tells the server, so tests can see it was closed).
const char* kMsgScript = R"JS((function ($) {
  $.Msg = {
    tb_show: function (caption, html) {
      $('#TB_overlay, #TB_window').remove();
      $('body').append('<div id="TB_overlay"></div><div id="TB_window"><div id="TB_title"></div>' +
                       '<div id="TB_content"></div></div>');
      $('#TB_title').text(caption);
      $('#TB_content').html(html);
    },
    tb_remove: function () {
      if ($('#TB_window').length === 0) return false;
      $('#TB_overlay, #TB_window').remove();
      $.post('/stu/popup_closed.aspx');
      return false;
    }
  };
})(jQuery);
)JS";

bool StudyAllowed(SiteContext& context, const httplib::Request& request) {
  return context.session.Allowed(context, request);
}

void SendLoginRequired(SiteContext& context, httplib::Response& response) {
  context.session.RefusePage(context, response);
}

// The course named by the `courseId` parameter; answers the error itself when there is none.
std::optional<CourseInfo> RequestedCourse(SiteContext& context, const httplib::Request& request,
                                          httplib::Response& response) {
  auto id = PositiveNumber(request.get_param_value("courseId"));
  if (!id) {
    SendError(response, 400, "courseId must be a course number.");
    return std::nullopt;
  }
  auto course = context.study.Course(*id);
  if (!course) SendError(response, 404, "No course " + std::to_string(*id) + ".");
  return course;
}

void HandleCourseList(SiteContext& context, const httplib::Request& request,
                      httplib::Response& response) {
  bool allowed = false;
  // The portal's link carries a ticket; it opens a study session of the platform's own.
  if (std::string ticket = request.get_param_value("ticket"); !ticket.empty()) {
    if (auto account = context.portal.AccountOfTicket(ticket)) {
      SetSessionCookie(response, kStudyCookie, context.study.NewSession(*account));
      allowed = true;
    }
  }
  if (!allowed && !StudyAllowed(context, request)) return SendLoginRequired(context, response);
  // One row a course, as the platform lists them: its name, how far it is, and the way in.
  static std::atomic<int> reads{0};
  const int read = ++reads;
  std::string rows;
  for (int id = 1; id <= context.study.CourseCount(); ++id) {
    auto course = context.study.Course(id);
    const auto total = course->chapters.size();
    const auto done = std::count_if(course->chapters.begin(), course->chapters.end(),
                                    [](const ChapterInfo& chapter) { return chapter.done; });
    const std::string number = std::to_string(id);
    rows += std::string("<tr class=\"") +
            (static_cast<std::size_t>(done) == total ? "finished" : "unfinished") +
            "\"><td class=\"name\">" + EscapeHtml(course->name) +
            "</td><td class=\"progress\">已完成 " + std::to_string(done) + "/" +
            std::to_string(total) + " 章</td><td><a id=\"course" + number + "\" href=\"" +
            EscapeHtml(CourseLink(context, id, read)) +
            "\" target=\"_blank\">进入学习</a></td></tr>\n";
  }
  std::string body =
      "<h1>我的课程</h1>\n<table id=\"courses\" border=\"1\">\n"
      "<tr><th>课程名称</th><th>学习进度</th><th>操作</th></tr>\n" +
      rows + "</table>";
  if (context.options.autoStudent)
    body += "<script>location.href = '/stu/Study_v2.aspx?courseId=1';</script>";
  response.set_header("Cache-Control", "no-store");
  SendHtml(response, HtmlPage("我的课程", body, kStudyStyle));
}

void HandleChapterPage(SiteContext& context, const httplib::Request& request,
                       httplib::Response& response) {
  if (!StudyAllowed(context, request)) return SendLoginRequired(context, response);
  auto course = RequestedCourse(context, request, response);
  if (!course) return;
  context.study.ChapterPageServed(course->id);
  std::string content =
      context.options.contentPlaceholder
          ? ContentPlaceholderPath(course->id)
          : ChapterPath(course->id, context.study.ChapterToShow(course->id).value_or(1));
  response.set_header("Cache-Control", "no-store");
  SendHtml(
      response,
      "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>书本学习 - " +
          EscapeHtml(course->name) + "</title></head>\n<frameset cols=\"300,*\">\n" +
          "<frame name=\"" + kListFrame + "\" id=\"" + kListFrame + "\" src=\"" +
          ChapterListPath(course->id) + "\">\n<frame name=\"" + kContentFrame + "\" id=\"" +
          kContentFrame + "\" src=\"" + content + "\">\n</frameset></html>\n");
}

void HandleChapterList(SiteContext& context, const httplib::Request& request,
                       httplib::Response& response) {
  if (!StudyAllowed(context, request)) return SendLoginRequired(context, response);
  auto course = RequestedCourse(context, request, response);
  if (!course) return;
  std::string items;
  for (const auto& chapter : course->chapters) {
    std::string path = ChapterPath(course->id, chapter.number);
    // The link carries the chapter's address in its own url attribute, so the entry's markup and
    // the link's markup both hold the same url="..." text.
    items += std::string("<li class=\"") + (chapter.done ? "done" : "undone") + "\"><a url=\"" +
             path + "\" href=\"" + path + "\" target=\"" + kContentFrame + "\">" +
             EscapeHtml(chapter.title) + "</a> <span class=\"state\">" +
             (chapter.done ? "已完成" : "未完成") + "</span></li>\n";
  }
  response.set_header("Cache-Control", "no-store");
  SendHtml(response, HtmlPage("章节列表",
                              "<h3>" + EscapeHtml(course->name) + "</h3>\n<ul id=\"chapters\">\n" +
                                  items + "</ul>",
                              kStudyStyle));
}

// A script that never ends, run while the page is still being parsed: nothing after it is ever
// parsed, and the page never finishes loading.
constexpr const char* kSpinWhileParsing = "<script>for (;;) {}</script>\n";

// What the content frame shows of a chapter; `onFinish` is the completion control's click
// handler (empty: none), `afterTitle` markup placed before the progress (empty: none).
std::string ChapterDisplay(const ChapterInfo& chapter, const std::string& onFinish,
                           const std::string& afterTitle = {}) {
  return "<h3 id=\"chapterTitle\">" + EscapeHtml(chapter.title) + "</h3>\n" + afterTitle +
         "<p>已学时长：<span id=\"learnedTime\">" + FormatStudyTime(chapter.learnedSeconds) +
         "</span></p>\n<p>要求时长：<span id=\"requiredTime\">" +
         FormatStudyTime(chapter.requiredSeconds) + "</span></p>\n" + "<p id=\"chapterState\">" +
         (chapter.done ? "本章已完成" : "学习中") +
         "</p>\n"
         "<input type=\"button\" id=\"btnFinish\" value=\"完成本章学习\"" +
         (onFinish.empty() ? "" : " onclick=\"" + onFinish + "\"") +
         ">\n"
         "<div class=\"text\"><p>请认真阅读本章内容。学习时长达到要求后，点击“完成本章学习”。"
         "</p></div>\n";
}

// `spin`: a script in the middle of the body spins for good while the page is parsed. `video`:
// the chapter is a courseware video, whose heartbeats carry its report. `quirks`: markup of a
// real platform's besides the chapter (quirks.h).
std::string ContentPage(const StudyState::OpenedChapter& opened, bool spin,
                        std::optional<VideoKind> video, PauseWhen pauseWhen,
                        const std::string& quirks) {
  const ChapterInfo& chapter = opened.chapter;
  char id[32];
  std::snprintf(id, sizeof id, "%d-%03d", chapter.course, chapter.number);
  std::string afterTitle = spin ? kSpinWhileParsing : "";
  if (video) afterTitle += CoursewareMarkup(*video, pauseWhen);
  const std::string beat = video ? "coursewareBeat({view: viewToken})" : "{view: viewToken}";
  std::string body =
      ChapterDisplay(chapter, "finishChapter()", afterTitle) + quirks +
      "<script src=\"/js/jquery.min.js\"></script>\n<script src=\"/js/msg.js\"></script>\n"
      "<script>\n"
      "var chapterId = " +
      JsonQuote(id) +
      ";\n"
      "var viewToken = " +
      JsonQuote(opened.viewToken) +
      ";\n"
      "setInterval(function () {\n"
      "  $.post('/stu/heartbeat.aspx', " +
      beat +
      ", function (r) {\n"
      "    $('#learnedTime').text(r.learned);\n"
      // A page told to hang spins here for good: its process stops answering.
      "    if (r.hang) { for (;;) {} }\n"
      "  }, 'json');\n"
      "}, " +
      std::to_string(kHeartbeatMs) +
      ");\n"
      // Completion is one synchronous request, so the answer, the pop-up and the alert all come
      // while the click is being handled, as on the real platform.
      "function finishChapter() {\n"
      "  var xhr = new XMLHttpRequest();\n"
      "  xhr.open('POST', '/stu/finish.aspx', false);\n"
      "  xhr.setRequestHeader('Content-Type', 'application/x-www-form-urlencoded');\n"
      "  xhr.send('id=' + encodeURIComponent(chapterId));\n"
      "  var r = {message: '提交失败'};\n"
      "  try { r = JSON.parse(xhr.responseText); } catch (e) {}\n"
      "  if (xhr.status !== 200) { alert(r.message); return; }\n"
      "  $('#chapterState').text('本章已完成');\n"
      "  $.Msg.tb_show('提示', '<p>' + $('<span>').text(r.message).html() + '</p>');\n"
      "  alert(r.message);\n"
      "  parent." +
      std::string(kListFrame) +
      ".location.reload();\n"
      "  if (r.evaluation) window.open(r.evaluation);\n"
      "}\n"
      "</script>";
  return HtmlPage(chapter.title, body, kStudyStyle);
}

// The content frame before a chapter is chosen: a hint, and nothing of a chapter's progress.
void SendContentPlaceholder(SiteContext& context, const httplib::Request& request,
                            httplib::Response& response) {
  if (!RequestedCourse(context, request, response)) return;
  response.set_header("Cache-Control", "no-store");
  SendHtml(response,
           HtmlPage("书本学习", "<p id=\"placeholder\">请在左侧选择章节</p>", kStudyStyle));
}

void HandleContent(SiteContext& context, const httplib::Request& request,
                   httplib::Response& response) {
  if (!StudyAllowed(context, request)) return SendLoginRequired(context, response);
  if (!request.has_param("id") && request.has_param("courseId")) {
    return SendContentPlaceholder(context, request, response);
  }
  auto id = ParseChapterId(request.get_param_value("id"));
  if (!id) return SendError(response, 400, "id must name a chapter as course-chapter.");
  auto opened = context.study.OpenChapter(id->first, id->second);
  if (!opened) return SendError(response, 404, "No such chapter.");
  const bool spin = opened->neverLoads && context.options.neverLoadsHow == NeverLoads::kSpin;
  if (opened->neverLoads && !spin) {
    // Not a word until the site stops; then, or when too many wait already, a refusal.
    const bool held = context.held.Hold();
    return SendError(response, 503,
                     held ? "The site stopped before answering." : "Too many requests are held.");
  }
  response.set_header("Cache-Control", "no-store");
  if (context.options.plainChapters) {
    SendHtml(response, HtmlPage(opened->chapter.title,
                                ChapterDisplay(opened->chapter, {}, spin ? kSpinWhileParsing : ""),
                                kStudyStyle));
  } else {
    SendHtml(response,
             ContentPage(*opened, spin, VideoKindOf(context.options.videoChapters, id->second),
                         context.options.videoPauseWhen, QuirkMarkup(context)));
  }
}

void HandleHeartbeat(SiteContext& context, const httplib::Request& request,
                     httplib::Response& response) {
  if (!StudyAllowed(context, request)) return SendJsonError(response, 401, "请先登录学员门户。");
  auto beat = context.study.Heartbeat(request.get_param_value("view"), MediaReportOf(request));
  if (!beat) return SendJsonError(response, 404, "This chapter page is no longer open.");
  SendJson(response, JsonObject()
                         .Add("ok", true)
                         .Add("learned", FormatStudyTime(beat->chapter.learnedSeconds))
                         .Add("seconds", static_cast<std::int64_t>(beat->chapter.learnedSeconds))
                         .Add("frozen", beat->frozen)
                         .Add("hang", beat->hang)
                         .str());
}

void HandleFinish(SiteContext& context, const httplib::Request& request,
                  httplib::Response& response) {
  if (!StudyAllowed(context, request)) return SendJsonError(response, 401, "请先登录学员门户。");
  auto id = ParseChapterId(request.get_param_value("id"));
  if (!id) return SendJsonError(response, 400, "id must name a chapter as course-chapter.");
  if (context.quirks.RefuseCompletion(context.options, id->first, id->second))
    return SendJsonError(response, 500, "提交失败");
  switch (context.study.Finish(id->first, id->second)) {
    case FinishOutcome::kDone:
      // This answer still goes out; an outage or a sign-out that starts now meets what follows.
      context.outage.CompletionAccepted(context.study.CompletedCount());
      if (context.signOut.CompletionAccepted(context.study.CompletedCount()))
        context.portal.SignOutAll();
      return SendJson(response,
                      JsonObject()
                          .Add("ok", true)
                          .Add("message", "恭喜，本章学习已完成！")
                          .Add("evaluation", EvaluationAfter(context, id->first, id->second))
                          .str());
    case FinishOutcome::kAlreadyDone:
      return SendJson(response,
                      JsonObject().Add("ok", true).Add("message", "本章已经完成。").str());
    case FinishOutcome::kTooEarly:
      return SendJsonError(response, 403, "学习时长未达到要求，不能完成本章。");
    case FinishOutcome::kUnknownChapter:
      return SendJsonError(response, 404, "No such chapter.");
  }
}

void HandleEvaluation(SiteContext& context, const httplib::Request& request,
                      httplib::Response& response) {
  if (!StudyAllowed(context, request)) return SendLoginRequired(context, response);
  SendHtml(response, EvaluationPage());
}

}  // namespace

std::string ChapterPath(int course, int chapter) {
  char path[64];
  std::snprintf(path, sizeof path, "/stu/book_right.aspx?id=%d-%03d", course, chapter);
  return path;
}

std::string ChapterListPath(int course) {
  return "/stu/book_left.aspx?courseId=" + std::to_string(course);
}

std::string ContentPlaceholderPath(int course) {
  return "/stu/book_right.aspx?courseId=" + std::to_string(course);
}

std::optional<std::pair<int, int>> ParseChapterId(std::string_view id) {
  auto dash = id.find('-');
  if (dash == std::string_view::npos) return std::nullopt;
  auto course = PositiveNumber(id.substr(0, dash));
  auto chapter = PositiveNumber(id.substr(dash + 1));
  if (!course || !chapter) return std::nullopt;
  return std::pair{*course, *chapter};
}

bool AnswerSignedOut(SiteContext& context, const httplib::Request& request,
                     httplib::Response& response) {
  // Scripts and clips are static files a site serves to anyone.
  if (request.path.starts_with("/js/") || request.path.starts_with("/clips/")) return false;
  const SignOutHow how = context.signOut.How();
  // These keep the chapter page as it was for the login page to show in its frames.
  const bool framesetStays = how == SignOutHow::kListForm || how == SignOutHow::kFrameRedirect ||
                             how == SignOutHow::kBreakOut;
  if (framesetStays && request.path == kChapterPagePath) return false;
  if (!context.signOut.SignedOut()) return false;
  if (how == SignOutHow::kPortalFrames) {
    AnswerInPortalFrames(context, request, response);
    return true;
  }
  response.set_header("Cache-Control", "no-store");
  if (how == SignOutHow::kListForm) {
    SendHtml(response, SignedOutLoginPage(context));
  } else {
    response.set_redirect(context.PortalOrigin() + context.addresses.loginPath);
  }
  return true;
}

void AddStudyPages(HostRouter& router, SiteContext& context, std::string jquery) {
  // What a page waits for is slowed by --slow; the content frame's background heartbeat is not.
  auto page =
      [&context](void (*handler)(SiteContext&, const httplib::Request&, httplib::Response&)) {
        return [&context, handler](const httplib::Request& request, httplib::Response& response) {
          if (context.options.slowMs > 0 && handler != HandleHeartbeat)
            std::this_thread::sleep_for(std::chrono::milliseconds(context.options.slowMs));
          handler(context, request, response);
        };
      };
  router.Get(Site::kStudy, "/", [&context](const httplib::Request&, httplib::Response& response) {
    response.set_redirect(context.addresses.courseListPath);
  });
  router.Get(Site::kStudy, context.addresses.courseListPath, page(HandleCourseList));
  router.Get(Site::kStudy, kChapterPagePath, page(HandleChapterPage));
  router.Get(Site::kStudy, "/stu/book_left.aspx", page(HandleChapterList));
  router.Get(Site::kStudy, "/stu/book_right.aspx", page(HandleContent));
  router.Post(Site::kStudy, kHeartbeatPath, page(HandleHeartbeat));
  router.Post(Site::kStudy, "/stu/finish.aspx", page(HandleFinish));
  router.Get(Site::kStudy, "/stu/evaluate.aspx", page(HandleEvaluation));
  router.Post(Site::kStudy, "/stu/popup_closed.aspx",
              [&context](const httplib::Request& request, httplib::Response& response) {
                if (context.session.GuardsEveryRequest() && !StudyAllowed(context, request))
                  return SendJsonError(response, 401, "请先登录学员门户。");
                context.study.RecordPopupClosed();
                SendJson(response, JsonObject().Add("ok", true).str());
              });
  router.Get(Site::kStudy, "/js/msg.js", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kMsgScript, "application/javascript; charset=utf-8");
  });
  router.Get(Site::kStudy, kCoursewareScriptPath,
             [](const httplib::Request&, httplib::Response& response) {
               response.set_content(kCoursewareScript, "application/javascript; charset=utf-8");
             });
  AddClips(router);
  if (!jquery.empty()) {
    router.Get(Site::kStudy, "/js/jquery.min.js",
               [jquery = std::move(jquery)](const httplib::Request&, httplib::Response& response) {
                 response.set_content(jquery, "application/javascript; charset=utf-8");
               });
  }
}

}  // namespace larkwend::practice
