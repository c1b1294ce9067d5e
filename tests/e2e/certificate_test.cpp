// SPDX-License-Identifier: GPL-3.0-or-later
// The study platform over TLS with a certificate the system does not trust, on the real engine:
// the 安全警报 box, its keys and what it says; 取消 leaves the page, 继续 trusts exactly that
// certificate and a whole study run follows; the next start is not asked again; a new
// certificate is, and during an armed run it is no outage: the journal, the notification and
// the suspend block say that the run waits for the student.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/certificate_dlg.h"
#include "app/quillmoor_dlg.h"
#include "e2e_desktop_services.h"
#include "e2e_dialog_lookup.h"
#include "e2e_harness.h"
#include "e2e_message_boxes.h"
#include "e2e_practice_site.h"
#include "e2e_program.h"
#include "e2e_study_flow.h"
#include "resources/templates.h"
#include "scoped_working_dir.h"

namespace larkwend::e2e {
namespace {

const std::string kHost = "learn.qmstudy.localhost";
const std::string kTlsOrigin = "https://" + kHost + ":18443";

// Three chapters of 60 study seconds credited 50 to the real second, the timers at 1/20.
std::vector<std::string> SiteOptions(std::vector<std::string> extra = {}) {
  std::vector<std::string> options = {
      "--courses",    "1",  "--chapters", "3",     "--finished",  "0", "--chapter-seconds", "60",
      "--time-scale", "50", "--tls-port", "18443", "--open-study"};
  options.insert(options.end(), extra.begin(), extra.end());
  return options;
}

// A 安全警报 box as the student saw it: its view, its text and which control had the focus.
struct Seen {
  WindowView view;
  std::string details;
  int focus;
};

Seen Look(GtkWindow* box) {
  const Program dialog(box);  // its controls are found as the main window's are
  return {ViewOf(box), dialog.Text(IDC_CERTIFICATE_TEXT), dialog.FocusedControl()};
}

bool IsCertificateBox(GtkWindow* window) {
  return DialogTemplateIdOf(window) == IDD_CERTIFICATE && ViewOf(window).title == "安全警报";
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path);
  return std::string(std::istreambuf_iterator<char>(file), {});
}

bool FollowStudyLink(Program& program) {
  return program.EvaluateInPage("document.getElementById('studyLink').click(); true").has_value();
}

TEST(Certificate, AskedOnceTrustedByFingerprintAndNeverRetriedAsAnOutage) {
  DesktopServices desktop;
  ASSERT_TRUE(desktop.ready());
  auto site = std::make_unique<PracticeSite>(SiteOptions());
  ASSERT_TRUE(site->Ready()) << site->Error();
  const std::string firstFingerprint = site->StateValue()["tlsFingerprint"].String();
  fixtures::ScopedWorkingDir home;  // the settings file and the journal of both starts
  ProgramOptions options;
  options.timerScale = 0.05;
  options.workingDirectory = home.path();
  const std::string personalCentre = PracticeSite::PortalUrl("/kvt/user/");

  // First start: asked three times, answered with Escape, Enter and, after Tab, 继续.
  std::vector<Seen> asked;
  int focusAfterTab = -1;
  RunProgram(options, [&](Program& program) {
    MessageBoxAnswerer end("提示", "确定");
    WindowHandler boxes(IsCertificateBox, [&](GtkWindow* box) {
      asked.push_back(Look(box));
      if (asked.size() < 3)
        return PressKey(box, asked.size() == 1 ? GDK_KEY_Escape : GDK_KEY_Return);
      PressKey(box, GDK_KEY_Tab);
      focusAfterTab = Look(box).focus;
      PressKey(box, GDK_KEY_Return);
    });
    std::string failure;
    ASSERT_TRUE(LogIn(program, &failure)) << failure;
    for (std::size_t answered = 1; answered <= 2; ++answered) {
      ASSERT_TRUE(FollowStudyLink(program));
      ASSERT_TRUE(PumpUntil([&] { return asked.size() == answered; }, 15000));
      PumpFor(300);
      EXPECT_EQ(program.BrowserUri(), personalCentre) << "取消 did not leave the page as it was";
    }
    ASSERT_TRUE(FollowStudyLink(program));
    ASSERT_TRUE(program.WaitForPage(kTlsOrigin + "/stu/clslist.aspx"));
    ASSERT_TRUE(program.EvaluateInPage("document.getElementById('course1').click(); true"));
    ASSERT_TRUE(program.WaitForPage(kTlsOrigin + "/stu/Study_v2.aspx?courseId=1"));
    EXPECT_TRUE(PumpUntil([&] { return end.Texts().size() == 1; }, 120000));
  });
  ASSERT_EQ(asked.size(), 3u);
  for (const Seen& seen : asked) {
    EXPECT_EQ(seen.view.buttons, (std::vector<std::string>{"继续", "取消"}));
    EXPECT_EQ(seen.focus, IDC_CERTIFICATE_TEXT);
    for (const std::string& line :
         {"网站：" + kHost + "\r\n问题：\r\n· 证书不是由受信任的机构颁发的\r\n颁发给：",
          "CN=" + kHost, std::string("有效期："),
          "SHA-256 指纹：\r\n" + firstFingerprint.substr(0, 47) + "\r\n" +
              firstFingerprint.substr(48)})
      EXPECT_NE(seen.details.find(line), std::string::npos) << line << " in\n" << seen.details;
  }
  EXPECT_EQ(focusAfterTab, IDOK);
  EXPECT_EQ(site->CompletedChapterCount(), 3);
  const std::filesystem::path settings = home.path() / "config/larkwend/settings.ini";
  EXPECT_EQ(FileText(settings), "[certificates]\n" + kHost + "=" + firstFingerprint + "\n");

  // Second start: the same certificate is trusted again without a word. Then the site comes
  // back with a new one, expired too, and the student opens a chapter page from the list.
  int boxesSeen = 0;
  Seen secondBox;
  std::string statusWhileAsked;
  bool blocksGivenBack = false, told = false;
  RunProgram(options, [&](Program& program) {
    WindowHandler boxes(IsCertificateBox, [&](GtkWindow* box) {
      ++boxesSeen;
      secondBox = Look(box);
      statusWhileAsked = program.Text(IDC_RUN_STATUS);
      blocksGivenBack = desktop.WaitFor([](const DesktopServices& d) {
        return d.SuspendInhibitionsHeld() == 0 && d.SleepLocksHeld() == 0;
      });
      told = desktop.WaitFor([](const DesktopServices& d) {
        return !d.Events("notify").empty() &&
               d.Events("notify").back().fields.at("summary") == "学习网站的证书不受信任";
      });
      PressButton(box, "继续");
    });
    std::string failure;
    ASSERT_TRUE(LogIn(program, &failure)) << failure;
    ASSERT_TRUE(FollowStudyLink(program));
    ASSERT_TRUE(program.WaitForPage(kTlsOrigin + "/stu/clslist.aspx"));
    EXPECT_EQ(boxesSeen, 0) << "asked again about a certificate trusted before";

    site.reset();
    site = std::make_unique<PracticeSite>(SiteOptions({"--tls-expired"}));
    ASSERT_TRUE(site->Ready()) << site->Error();
    program.Click(IDC_COURSE_LIST);  // the list over HTTP leads to the chapter pages over TLS
    ASSERT_TRUE(program.WaitForPage(PracticeSite::StudyUrl("/stu/clslist.aspx")));
    ASSERT_TRUE(program.EvaluateInPage("document.getElementById('course1').click(); true"));
    ASSERT_TRUE(PumpUntil([&] { return boxesSeen == 1; }, 15000));
    ASSERT_TRUE(program.WaitForPage(kTlsOrigin + "/stu/Study_v2.aspx?courseId=1"));
    // Armed again by the page loaded again: it studies, and keeps the machine awake.
    EXPECT_TRUE(PumpUntil([&] { return site->CompletedChapterCount() >= 1; }, 30000));
    EXPECT_EQ(desktop.SuspendInhibitionsHeld(), 1);
  });
  EXPECT_EQ(boxesSeen, 1);
  const std::string secondFingerprint = site->StateValue()["tlsFingerprint"].String();
  EXPECT_NE(secondFingerprint, firstFingerprint);
  EXPECT_NE(secondBox.details.find("· 证书不是由受信任的机构颁发的\r\n· 证书已过期\r\n"),
            std::string::npos)
      << secondBox.details;
  EXPECT_TRUE(statusWhileAsked.starts_with("学习网站的安全证书不受信任")) << statusWhileAsked;
  EXPECT_TRUE(blocksGivenBack) << "the machine kept awake for a run that waits for the student";
  EXPECT_TRUE(told);

  // The journal names the host and what is wrong, once: the armed run's refusal, not the
  // first start's, which came before any run.
  const std::string journal = FileText(home.path() / "state/larkwend/journal.log");
  EXPECT_EQ(journal.find("页面无法打开："), std::string::npos) << journal;
  const std::string refusal =
      " 证书不受信任：" + kHost + "（证书不是由受信任的机构颁发的；证书已过期）\n";
  EXPECT_NE(journal.find(refusal), std::string::npos) << journal;
  EXPECT_EQ(journal.find(refusal), journal.rfind(refusal));
  EXPECT_EQ(FileText(settings),
            "[certificates]\n" + kHost + "=" + secondFingerprint + " " + firstFingerprint + "\n");
}

}  // namespace
}  // namespace larkwend::e2e
