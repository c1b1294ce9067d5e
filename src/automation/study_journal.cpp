// SPDX-License-Identifier: GPL-3.0-or-later
#include "automation/study_journal.h"

#include <initializer_list>
#include <string>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/journal.h"
#include "resources/texts.h"
#include "update/update_check.h"

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

// Why a page was not what it should be, or was lost; a reason not listed here is shown as it is.
// An entry ending in a space is a prefix whose rest is kept (the engine's own words, a number).
constexpr Wording kReasons[] = {
    {"HTTP ", "HTTP "},
    {"网络错误：", "network error: "},
    {"仍未加载完成，已等待 ", "still loading after "},
    {"章节列表中没有任何章节", "no chapter entry in the list"},
    {"页面上没有章节框架", "no chapter frames"},
    {"页面上没有课程列表", "no course list"},
    {"网页进程已结束", "its web process ended"},
    {"网页进程内存不足", "its web process ran out of memory"},
    {"页面停止响应", "it stopped answering"},
    {"页面一直未加载完成", "it did not finish loading"},
};

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

constexpr Wording kUpdateOutcomes[] = {
    {"没有新版本", "nothing newer"},
    {"有新版本，未下载", "a newer version was offered and declined"},
    {"更新服务没有回应", "no reply from the update service"},
    {"更新服务的回复为空", "an empty reply"},
    {"更新服务的回复中没有版本", "a reply without a version"},
    {"必须更新后才能使用", "the program must end"},
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

// The reason in the journal's words; the diagnostics keep it as given.
std::string Reason(std::string_view why) {
  for (const Wording& reason : kReasons) {
    if (why == reason.diagnostics) return std::string(reason.journal);
    if (reason.diagnostics.ends_with(' ') && why.starts_with(reason.diagnostics)) {
      std::string rest(why.substr(reason.diagnostics.size()));
      if (rest.ends_with(" s")) rest.replace(rest.size() - 2, 2, " 秒");
      if (rest.ends_with(" min")) rest.replace(rest.size() - 4, 4, " 分钟");
      return std::string(reason.journal) + rest;
    }
  }
  return std::string(why);
}

// Records `wording` whose {2} is a reason: the journal gets the reason in its own words.
void RecordWithReason(const Wording& wording, std::string_view value, std::string_view why) {
  RecordInJournal(Fill(wording.journal, {value, Reason(why)}));
  Diagnose(Fill(wording.diagnostics, {value, why}));
}

Wording UpdateOutcome(int result) {
  switch (result) {
    case UPDATE_NOTHING_NEWER:
      return kUpdateOutcomes[0];
    case UPDATE_DECLINED:
      return kUpdateOutcomes[1];
    case UPDATE_NO_REPLY:
      return kUpdateOutcomes[2];
    case UPDATE_EMPTY_REPLY:
      return kUpdateOutcomes[3];
    case UPDATE_NO_SEPARATOR:
      return kUpdateOutcomes[4];
    case UPDATE_STOP:
      return kUpdateOutcomes[5];
    default:
      return {};
  }
}

}  // namespace

void ProgramStarted() {
  const std::string version =
      std::to_string(APP_VERSION / 100) + "." + std::to_string(APP_VERSION % 100);
  Record(line::kProgramStarted, {version});
  // Said after this run's start, so that whoever reads the journal meets it where the program
  // found it out. A copy that still runs is not among them.
  for (const UnendedRun& run : OpenRunInJournal())
    Record(line::kUnendedRun, {std::to_string(run.processId), run.started});
}

void UpdateChecked(int result) {
  const Wording outcome = UpdateOutcome(result);
  const std::string other = "result " + std::to_string(result);
  RecordInJournal(Fill(line::kUpdateChecked.journal,
                       {outcome.journal.empty() ? std::string_view(other) : outcome.journal}));
  Diagnose(Fill(line::kUpdateChecked.diagnostics,
                {outcome.diagnostics.empty() ? std::string_view(other) : outcome.diagnostics}));
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

void PageRecovered(std::string_view address, std::string_view reason) {
  RecordWithReason(line::kRecovered, address, reason);
}

void PageFailedToLoad(std::string_view address, std::string_view why) {
  RecordWithReason(line::kFailed, address, why);
}

void PageLoadedAgain(std::string_view seconds, std::string_view address) {
  Record(line::kBack, {seconds, address});
}

void SignedOutBySite(std::string_view address) {
  Record(line::kSignedOut, {address});
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
