// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/study_journal.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "automation/run_status.h"
#include "platform/diagnostics.h"
#include "platform/journal.h"
#include "resources/texts.h"

namespace larkwend::study_journal {
namespace {

// Every line the journal holds, in the student's language, and the same fact for whoever
// maintains the program, in the diagnostics' English. "{1}"... stand for the event's values.
struct Wording {
  std::string_view journal, diagnostics;
};

namespace line {
constexpr Wording kProgramStarted{"程序启动，版本 {1}", "program started, version {1}"};
constexpr Wording kUnendedRun{"上次运行意外结束：进程 {1}，启动于 {2}",
                              "last run ended unexpectedly: process {1}, started {2}"};
constexpr Wording kUpdateChecked{"检查更新：{1}", "update check: {1}"};
constexpr Wording kLoginCaptured{"记住登录：账号 {1}", "login captured: account {1}"};
constexpr Wording kRunArmed{"开始自动学习：{1}", "study run armed: {1}"};
constexpr Wording kChapterOpened{"打开章节：{1}", "chapter opened: {1}"};
constexpr Wording kChapterCompleted{"完成章节：{1}（进度 {2}，要求 {3}）",
                                    "chapter completed: {1} (progress {2}, required {3})"};
constexpr Wording kStalled{"进度停滞，刷新页面：进度仍为 {1}",
                           "stalled page refreshed: progress still {1}"};
constexpr Wording kRecovered{"页面已恢复：{1}（{2}）", "page recovered: {1} ({2})"};
constexpr Wording kFailed{"页面无法打开：{1}（{2}）", "page failed to load: {1} ({2})"};
constexpr Wording kBack{"页面在 {1} 秒后恢复：{2}", "page loaded again after {1} s: {2}"};
constexpr Wording kVideoCannotPlay{"课程视频无法播放：{1}（{2}）", "video cannot play: {1} ({2})"};
constexpr Wording kNotTaken{"完成未生效：{1}（第 {2} 次），再次完成",
                            "completion did not take: {1} ({2} of {3}), pressing again"};
constexpr Wording kNotTakenAtAll{
    "完成一直未生效：{1}（已重试 {3} 次），等待学员处理",
    "completion never took: {1} ({3} retries), waiting for the student"};
constexpr Wording kSitesOwnPage{"网站转到了其他页面：{1}，将回到学习页面",
                                "the site went to another page: {1}, back to the study page"};
constexpr Wording kOtherFrame{"页面中其他框架无法打开（不影响学习）：{1}（{2}）",
                              "a frame that is not the study page's failed to load: {1} ({2})"};
constexpr Wording kPassedOver{"课程长时间无法打开，暂时跳过：{1}",
                              "course passed over, its chapter list unread for long: {1}"};
constexpr Wording kSignedOut{"网站已退出登录：{1}", "signed out by the site: {1}"};
constexpr Wording kCertificate{"证书不受信任：{1}（{2}）", "certificate not trusted: {1} ({2})"};
constexpr Wording kLeft{"学员离开了学习页面：{1}", "run left by the student: {1}"};
constexpr Wording kNoProgress{"{1} 分钟没有学习进展：重新打开学习页面",
                              "no progress for {1} min: study page loaded again"};
constexpr Wording kCourseFinished{"课程学完：{1}（本次完成 {2} 章）",
                                  "course finished: {1} ({2} chapters completed)"};
constexpr Wording kCourseOpened{"打开课程：{1}（第 {2} 门，共 {3} 门）",
                                "course opened: {1} ({2} of {3})"};
constexpr Wording kRunEnded{"自动学习结束：{1}", "run ended: {1}"};
constexpr Wording kProgramEnded{"程序结束", "program ended"};
}  // namespace line

// What is wrong with a certificate, in the order the certificate box lists it.
constexpr std::pair<CertificateProblem, std::string_view> kCertificateProblemWords[] = {
    {kCertificateUnknownIssuer, "not issued by a trusted authority"},
    {kCertificateWrongName, "issued for another host"},
    {kCertificateNotYetValid, "not yet valid"},
    {kCertificateExpired, "expired"},
    {kCertificateRevoked, "revoked"},
    {kCertificateInsecure, "insecure"},
    {kCertificateOtherProblem, "another problem"},
};

std::string Fill(std::string_view pattern, std::initializer_list<std::string_view> values) {
  std::string text(pattern);
  int n = 0;
  for (std::string_view value : values) {
    const std::string mark = "{" + std::to_string(++n) + "}";
    if (const std::size_t at = text.find(mark); at != std::string::npos)
      text.replace(at, mark.size(), value);
  }
  return text;
}

void Record(const Wording& wording, std::initializer_list<std::string_view> values = {}) {
  RecordInJournal(Fill(wording.journal, values));
  Diagnose(Fill(wording.diagnostics, values));
}

// Records `wording` whose {2} is why: each record gets it in its own words.
void RecordWithReason(const Wording& wording, std::string_view value, const Failure& why) {
  RecordInJournal(Fill(wording.journal, {value, InJournal(why)}));
  Diagnose(Fill(wording.diagnostics, {value, InEnglish(why)}));
}

}  // namespace

void ProgramStarted(std::string_view version) {
  Record(line::kProgramStarted, {version});
  // Said after this run's start, so that whoever reads the journal meets it where the program
  // found it out. A copy that still runs is not among them.
  for (const UnendedRun& run : OpenRunInJournal())
    Record(line::kUnendedRun, {std::to_string(run.processId), run.started});
}

void UpdateChecked(const Words& outcome) {
  RecordInJournal(Fill(line::kUpdateChecked.journal, {outcome.journal}));
  Diagnose(Fill(line::kUpdateChecked.diagnostics, {outcome.diagnostics}));
}

void LoginCaptured(std::string_view account) {
  Record(line::kLoginCaptured, {account});
}

void StudyRunArmed(std::string_view address) {
  Record(line::kRunArmed, {address});
}

void ChapterOpened(std::string_view address) {
  Record(line::kChapterOpened, {address});
}

void ChapterCompleted(std::string_view address, std::string_view progress,
                      std::string_view required) {
  Record(line::kChapterCompleted, {address, progress, required});
}

void StalledPageRefreshed(std::string_view progress) {
  Record(line::kStalled, {progress});
}

void PageRecovered(std::string_view address, const Failure& reason) {
  RecordWithReason(line::kRecovered, address, reason);
}

void PageFailedToLoad(std::string_view address, const Failure& why) {
  RecordWithReason(line::kFailed, address, why);
}

void PageLoadedAgain(std::string_view seconds, std::string_view address) {
  Record(line::kBack, {seconds, address});
}

void SignedOutBySite(std::string_view address) {
  Record(line::kSignedOut, {address});
}

void VideoCannotPlay(std::string_view address, MediaFault fault, int httpStatus) {
  std::string journal = DescribeMediaFault(fault);
  std::string diagnostics = fault == MediaFault::kNetwork    ? "network error"
                            : fault == MediaFault::kDecode   ? "decode error"
                            : fault == MediaFault::kNotFound ? "source not found"
                                                             : "unsupported format";
  if (httpStatus > 0) {
    journal += "，HTTP " + std::to_string(httpStatus);
    diagnostics += ", HTTP " + std::to_string(httpStatus);
  }
  RecordInJournal(Fill(line::kVideoCannotPlay.journal, {address, journal}));
  Diagnose(Fill(line::kVideoCannotPlay.diagnostics, {address, diagnostics}));
}

void CompletionNotTaken(std::string_view address, int count, int retries) {
  Record(count <= retries ? line::kNotTaken : line::kNotTakenAtAll,
         {address, std::to_string(count), std::to_string(retries)});
}

void SitesOwnPage(std::string_view address) {
  Record(line::kSitesOwnPage, {address});
}

void OtherFrameFailed(std::string_view address, int httpStatus) {
  const std::string status = httpStatus ? "HTTP " + std::to_string(httpStatus) : std::string();
  RecordInJournal(Fill(line::kOtherFrame.journal, {address, httpStatus ? status : "网络错误"}));
  Diagnose(Fill(line::kOtherFrame.diagnostics, {address, httpStatus ? status : "network error"}));
}

void CoursePassedOver(std::string_view address) {
  Record(line::kPassedOver, {address});
}

void CertificateRejected(std::string_view host, unsigned problems) {
  std::string journal, diagnostics;
  for (const texts::CertificateProblemText& problem : texts::kCertificateProblems)
    if (problems & problem.problem)
      journal += (journal.empty() ? "" : "；") + std::string(problem.text);
  for (const auto& [problem, words] : kCertificateProblemWords)
    if (problems & problem) diagnostics += (diagnostics.empty() ? "" : ", ") + std::string(words);
  RecordInJournal(Fill(line::kCertificate.journal, {host, journal}));
  Diagnose(Fill(line::kCertificate.diagnostics, {host, diagnostics}));
}

void RunLeftByStudent(std::string_view address) {
  Record(line::kLeft, {address});
}

void NoProgress(int minutes) {
  Record(line::kNoProgress, {std::to_string(minutes)});
}

void CourseFinished(std::string_view address, int chaptersCompleted) {
  Record(line::kCourseFinished, {address, std::to_string(chaptersCompleted)});
}

void CourseOpened(std::string_view address, int index, int count) {
  Record(line::kCourseOpened, {address, std::to_string(index), std::to_string(count)});
}

void RunEnded(std::string_view endMessage) {
  Record(line::kRunEnded, {endMessage});
}

void ProgramEnded() {
  Record(line::kProgramEnded);
  // Only once its last line is written does the run count as ended in good order.
  CloseRunInJournal();
}

}  // namespace larkwend::study_journal
