// SPDX-License-Identifier: GPL-3.0-or-later
#include "portal_frames.h"

#include "html.h"
#include "http_util.h"
#include "study_pages.h"

namespace larkwend::practice {

void AnswerInPortalFrames(SiteContext& context, const httplib::Request& request,
                          httplib::Response& response) {
  const std::string login = context.PortalOrigin() + context.addresses.loginPath;
  response.set_header("Cache-Control", "no-store");
  if (request.method == "POST") return SendJsonError(response, 401, "请先登录学员门户。");
  if (request.path != kChapterPagePath) return response.set_redirect(login);
  // The frames keep the names the chapter page gives them.
  const std::string frame = "\" src=\"" + EscapeHtml(login) + "\">\n";
  SendHtml(
      response,
      "<!DOCTYPE html>\n<html lang=\"zh-CN\"><head><meta charset=\"utf-8\"><title>书本学习"
      "</title></head>\n<frameset cols=\"300,*\">\n<frame name=\"chapterList\" id=\"chapterList" +
          frame + "<frame name=\"chapterContent\" id=\"chapterContent" + frame +
          "</frameset></html>\n");
}

}  // namespace larkwend::practice
