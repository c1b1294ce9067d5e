// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/run_failure.h"

#include <string_view>
#include <utility>

namespace larkwend {
namespace {

// Each reason in both records' words, by Why's order: "{n}" stands for the number, "{d}" for
// the detail.
struct Words {
  Why why;
  std::string_view english, journal;
};
constexpr Words kWords[] = {
    {Why::kHttpStatus, "HTTP {n}", "HTTP {n}"},
    {Why::kNetworkError, "network error: {d}", "网络错误：{d}"},
    {Why::kStillLoading, "still loading after {d} s", "仍未加载完成，已等待 {d} 秒"},
    {Why::kNoChapterEntry, "no chapter entry in the list", "章节列表中没有任何章节"},
    {Why::kNoChapterFrames, "no chapter frames", "页面上没有章节框架"},
    {Why::kNoCourseList, "no course list", "页面上没有课程列表"},
    {Why::kProcessEnded, "its web process ended", "网页进程已结束"},
    {Why::kOutOfMemory, "its web process ran out of memory", "网页进程内存不足"},
    {Why::kStoppedAnswering, "it stopped answering", "页面停止响应"},
    {Why::kNeverFinishedLoading, "it did not finish loading", "页面一直未加载完成"},
    {Why::kNoProgress, "no progress for {d} s", "{d} 秒没有学习进展"},
    {Why::kVideoCannotPlay, "its video cannot play", "课程视频无法播放"},
    {Why::kSitesOwnPage, "the site went to a page that is no study page", "网站转到了非学习页面"},
};

std::string Fill(std::string_view pattern, const Failure& f) {
  std::string text(pattern);
  for (const auto& [mark, value] :
       {std::pair<std::string_view, std::string>{"{n}", std::to_string(f.number)},
        std::pair<std::string_view, std::string>{"{d}", f.detail}})
    if (const std::size_t at = text.find(mark); at != std::string::npos)
      text.replace(at, mark.size(), value);
  return text;
}

const Words& WordsOf(Why why) {
  for (const Words& words : kWords)
    if (words.why == why) return words;
  return kWords[0];  // every Why has its row: unreachable
}

}  // namespace

std::string InEnglish(const Failure& failure) {
  return Fill(WordsOf(failure.why).english, failure);
}

std::string InJournal(const Failure& failure) {
  return Fill(WordsOf(failure.why).journal, failure);
}

}  // namespace larkwend
