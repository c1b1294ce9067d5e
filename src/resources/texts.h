// SPDX-License-Identifier: GPL-3.0-or-later
// The program's own words, in one place. Kept here as UTF-8 source text; the program's code
// works in GBK and converts with Gbk() where it uses them.
#pragma once

#include <string>
#include <string_view>

#include "platform/browser_control.h"
#include "platform/script_message_box.h"
#include "platform/text.h"

namespace larkwend {

namespace texts {

inline constexpr std::string_view kProductName = "Larkwend";
inline constexpr std::string_view kTitleFormat = "%s V%d.%d";

// Login assistance.
inline constexpr std::string_view kUnknownSite = "未知站点";
inline constexpr std::string_view kEnterStudySystemFirst = "请先进入到学习系统。";

// Auto-study cycle.
inline constexpr std::string_view kPopupCloseScript = "$.Msg.tb_remove();";
inline constexpr std::string_view kScriptLanguage = "JavaScript";
// The browser's script message box, looked for by the alert dismisser: the platform shows it.
inline constexpr std::string_view kScriptMessageTitle = script_message_box::kTitle;
inline constexpr std::string_view kScriptMessageOk = script_message_box::kOkButton;
inline constexpr std::string_view kChapterPageKey = "Study_v2.aspx";
inline constexpr std::string_view kNoUnfinishedChapter = "没有找到未完成章节";
inline constexpr std::string_view kAutoStudyStarted = "自动学习已启动。";
inline constexpr std::string_view kOpenBookStudyFirst = "请先进入到 [书本学习] 页面。";

// What the desktop is told while a run works alone: why the machine stays awake, and the
// notifications for the student. The run's end says the end message again.
inline constexpr std::string_view kKeepAwakeReason = "正在自动学习，学习结束前请勿休眠";
inline constexpr std::string_view kRunEndedTitle = "自动学习已结束";
inline constexpr std::string_view kSignedOutTitle = "自动学习已暂停";
inline constexpr std::string_view kSignedOutBody = "网站已退出登录，请重新登录后再进入学习页面。";
inline constexpr std::string_view kVideoCannotPlayBody =
    "本机无法播放课程视频，自动学习已暂停；请查看学习日志，解决后重新打开学习页面。";
inline constexpr std::string_view kCompletionRefusedBody =
    "网站多次没有接受章节的完成，自动学习已暂停；请查看学习日志，处理后重新打开学习页面。";
inline constexpr std::string_view kPageFailingTitle = "学习页面无法打开";
inline constexpr std::string_view kPageFailingBody =
    "学习页面已超过 10 分钟无法打开，程序仍在重试；请检查网络。";
inline constexpr std::string_view kCertificateRejectedTitle = "学习网站的证书不受信任";
inline constexpr std::string_view kCertificateRejectedBody =
    "自动学习已暂停：请回到程序，在“安全警报”中决定是否继续。";

// The certificate box (template 132): the lines of its text, and what can be wrong with a
// certificate, one line per problem the browser reports (the journal says them too).
inline constexpr std::string_view kCertificateSite = "网站：";
inline constexpr std::string_view kCertificateProblemsHeading = "问题：";
inline constexpr std::string_view kCertificateProblemBullet = "· ";
inline constexpr std::string_view kCertificateSubject = "颁发给：";
inline constexpr std::string_view kCertificateIssuer = "颁发者：";
inline constexpr std::string_view kCertificateValidity = "有效期：";
inline constexpr std::string_view kCertificateValidityTo = " 至 ";
inline constexpr std::string_view kCertificateFingerprint = "SHA-256 指纹：";
inline constexpr std::string_view kCertificateUnknownValue = "（未知）";
struct CertificateProblemText {
  CertificateProblem problem;
  std::string_view text;
};
inline constexpr CertificateProblemText kCertificateProblems[] = {
    {kCertificateUnknownIssuer, "证书不是由受信任的机构颁发的"},
    {kCertificateWrongName, "证书是颁发给其他网站的"},
    {kCertificateNotYetValid, "证书尚未生效"},
    {kCertificateExpired, "证书已过期"},
    {kCertificateRevoked, "证书已被吊销"},
    {kCertificateInsecure, "证书不安全（算法或密钥太弱）"},
    {kCertificateOtherProblem, "证书有其他错误"},
};

// The main window's own names and the journal button. The account edit is named for what the
// login type selects; the banner for what it opens.
inline constexpr std::string_view kAccountByIdCardName = "身份证号";
inline constexpr std::string_view kAccountByUserName = "用户名";
inline constexpr std::string_view kBannerName = "下载新版本";
inline constexpr std::string_view kJournalCannotBeMade = "学习日志无法建立：没有可写的主目录。";
inline constexpr std::string_view kJournalNoViewer = "没有找到能打开学习日志的程序。日志文件：";

// Usage dialog: its lines, joined with CR LF. The portal's display name goes between the two
// pieces of the login line, its home page address between the two pieces of the next one.
inline constexpr std::string_view kUsageHeading = "使用说明：";
inline constexpr std::string_view kUsageLoginBefore = "1、本软件基于方便学员登录[";
inline constexpr std::string_view kUsageLoginAfter = "]";
inline constexpr std::string_view kUsageAddressBefore = "（";
inline constexpr std::string_view kUsageAddressAfter = "）进行网络培训，仅限于学习辅助性质；";
inline constexpr std::string_view kUsageBenefits =
    "2、利用软件可以快捷登录学习，自动切换已完成的章节，提高学习效率；";
inline constexpr std::string_view kUsageVerificationCode =
    "3、使用软件快捷登录要注意先自行填上验证码。";

// Update gate.
inline constexpr std::string_view kUpdateCaption = "Larkwend";
inline constexpr std::string_view kOfferNewerMinor = "下载最新版本V%d.%d？";
inline constexpr std::string_view kOfferNewerMajor = "V%d版本已不适用，下载最新版本？";

}  // namespace texts
}  // namespace larkwend
