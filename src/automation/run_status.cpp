// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/run_status.h"

#include <cstdio>

namespace larkwend {
namespace {

std::string Number(int n) {
  return std::to_string(n);
}

// "（自 14:05 起）": the local time of day the run began doing what it does.
std::string Since(std::time_t since) {
  if (since == 0) return {};
  std::tm local{};
  if (const std::tm* t = std::localtime(&since)) local = *t;
  char text[16];
  std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
  return std::string("（自 ") + text + " 起）";
}

std::string Studying(const RunStatus& s) {
  std::string text =
      s.chapter > 0 ? "正在学习第 " + Number(s.chapter) + " 章，共 " + Number(s.chapters) + " 章"
                    : std::string("正在打开章节");
  if (s.courses > 0)
    text += "（第 " + Number(s.course) + " 门课程，共 " + Number(s.courses) + " 门）";
  return text;
}

}  // namespace

std::string DescribeMediaFault(MediaFault fault) {
  switch (fault) {
    case MediaFault::kNetwork:
      return "视频数据下载中断";
    case MediaFault::kDecode:
      return "视频解码出错";
    case MediaFault::kUnsupported:
      return "视频格式不受支持";
    case MediaFault::kNotFound:
      return "找不到视频文件";
  }
  return {};
}

std::string DescribeRun(const RunStatus& s) {
  std::string text;
  switch (s.state) {
    case RunState::kNotStarted:
      return "未开始学习";
    case RunState::kStudying:
      text = Studying(s);
      break;
    case RunState::kWaitingForSite:
      text = "等待学习网站恢复，" + Number(s.secondsToNextAttempt) + " 秒后重试";
      break;
    case RunState::kSignedOut:
      text = "网站已退出登录：请重新登录后打开课程的学习页面";
      break;
    case RunState::kCertificateRejected:
      text = "学习网站的安全证书不受信任：请在“安全警报”中决定是否继续";
      break;
    case RunState::kLeftByStudent:
      text = "已离开学习页面：打开课程的学习页面即可继续";
      break;
    case RunState::kNothingLeft:
      text = "本课程没有未完成章节";
      break;
    case RunState::kVideoCannotPlay:
      text = "课程视频无法播放（" + DescribeMediaFault(s.videoFault) +
             "）：已暂停，解决后重新打开学习页面";
      break;
    case RunState::kCompletionRefused:
      text = "网站没有接受章节完成：已暂停，请查看学习日志";
      break;
    case RunState::kEnded:
      text = "全部学完：没有找到未完成章节";
      break;
  }
  return text + Since(s.since);
}

}  // namespace larkwend
