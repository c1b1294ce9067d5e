// SPDX-License-Identifier: GPL-3.0-or-later
// CQuillmoorDlg: the main window. A strip of login controls, five buttons and a banner above the
// embedded browser; its handlers are the whole program's behaviour after start-up.
//
// The class is one, its work is not: each group of handlers lives in the file of its own job.
//   app/quillmoor_dlg.cpp       construction, initialisation, routing, resizing
//   app/usage_dlg.cpp           the usage button and the banner
//   app/login_assistance.cpp    navigation watching, credential capture, quick login
//   app/chapter_scanner.cpp     frames, unfinished chapters, completion check
//   app/auto_study.cpp          the timed cycle
//   app/certificate_dlg.cpp     a site's certificate the browser refused
// The study run the cycle drives (automation/study_run.h) is a member: the window forwards the
// browser's facts and its ticks' findings to it, and it asks the window back as a StudyCycle.
#pragma once

#include <array>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "automation/study_run.h"
#include "browser/differ_web.h"
#include "browser/web_browser2.h"
#include "platform/browser_control.h"
#include "platform/dialog.h"
#include "platform/dom.h"
#include "platform/platform.h"

namespace larkwend {

constexpr int LOGIN_BY_ID_CARD = 0;
constexpr int LOGIN_BY_USER_NAME = 1;

// Control ids of the main window.
enum : int {
  IDC_BROWSER = 1000,
  IDC_USAGE = 1001,
  IDC_ACCOUNT = 1002,
  IDC_PASSWORD = 1003,
  IDC_QUICK_LOGIN = 1004,
  IDC_PERSONAL_CENTER = 1005,
  IDC_COURSE_LIST = 1006,
  IDC_AUTO_STUDY = 1007,
  IDC_BANNER = 1008,
  IDC_LOGIN_TYPE = 1009,
  IDC_STUDY_ALL_COURSES = 1010,
  IDC_RUN_STATUS = 1011,
  IDC_OPEN_JOURNAL = 1012,
  IDC_MUTE = 1013,
};

// Auto-study timers; each one's period in milliseconds equals its id.
enum : unsigned {
  TIMER_POPUP_CLOSE = 100,
  TIMER_WAIT_FOR_LIST = 3000,
  TIMER_NEXT_CHAPTER = 5000,
  TIMER_CHECK_PROGRESS = 45000,
};

// What ScanUnfinishedChapters answers besides 1 (unfinished chapters listed) and 0 (none listed,
// or not on a chapter page).
constexpr int SCAN_UNDECIDED = -1;   // a call into the page failed
constexpr int SCAN_NOT_A_LIST = -2;  // the list frame holds no chapter entry at all

class CQuillmoorDlg : public CDialog, private BrowserEvents, private StudyCycle {
 public:
  // `timings`: how long the study run waits on a page that goes wrong (tests shorten them).
  explicit CQuillmoorDlg(Platform& platform, StudyRunTimings timings = {});
  ~CQuillmoorDlg() override;

  // Dialog framework.
  // Leaving the window also lets go of the browser control, which goes with the window.
  void AttachWindow(DialogWindow* window) override;
  bool OnInitDialog() override;
  void OnCommand(int id, int notifyCode) override;
  void OnTimer(unsigned id) override;
  void OnSize(int sizeType, int clientWidth, int clientHeight) override;
  int OnQueryDragIcon() const { return m_hIcon; }

  // Login assistance.
  void OnBeforeNavigate2(dom::Dispatch* browserObject, const dom::WideText& url, bool& cancel);
  void CaptureCredentials();
  void OnQuickLogin();
  void OnPersonalCenter();
  void OnCourseList();

  // Chapter scanner.
  bool FindChapterFrames();
  int ScanUnfinishedChapters();
  static std::string ExtractUrlAttribute(const std::string& html);
  int CheckChapterCompletion();
  // 1 when an element of `all` carries a chapter entry's address, 0 when none does, -1 when the
  // page could not be read.
  int HoldsAChapterEntry(dom::ElementCollection& all, long length);
  // Whether the page or one of its frames shows the portal's login form.
  bool ShowsLoginForm();

  // Auto-study cycle.
  void ArmAutoStudy();
  // The unfinished chapters last scanned, as the run reads addresses (UTF-8).
  std::vector<std::string> ChapterUrlsUtf8() const;
  int OpenFirstUnfinishedChapter();
  bool RemovePagePopup(dom::Document* document);
  void OnAutoStudyButton();
  // A tick could not read what it expected: tells the run whether the page is no chapter page
  // or a sign-out. `scan` is what ScanUnfinishedChapters answered, or SCAN_UNDECIDED.
  void PageNotAsExpected(int scan);

  // Usage dialog and banner.
  void OnUsageButton();
  void OnBannerClicked();

  // Read by tests and by the handlers' files; the dialog owns them.
  Platform& platform() const { return platform_; }
  const StudyRun& studyRun() const { return studyRun_; }

 protected:
  void DoDataExchange(DataExchange& dx) override;

 private:
  // BrowserEvents: the event sink of control 1000.
  void BeforeNavigate2(dom::Dispatch* browserObject, const dom::WideText& url,
                       bool& cancel) override;
  void DocumentComplete(dom::Dispatch* browserObject, const dom::WideText& url) override;
  void NewWindow3(bool& cancel, unsigned flags, const dom::WideText& urlContext,
                  const dom::WideText& url) override;
  void TopLevelNavigationAsked(const std::string& address, bool byUser) override;
  void LoadStarted(const std::string& address, bool topLevel) override;
  void LoadFinished(const std::string& address, bool topLevel) override;
  void LoadFailed(const LoadFailure& failure) override;
  void LoadStopped(const std::string& address, bool topLevel) override;
  void AnsweringChanged(bool answering) override;
  void PageProcessEnded(PageProcessEnd why) override;
  void MediaFailed(const MediaFailure& failure) override;
  void CertificateRejected(const CertificateRejection& rejection) override;

  // StudyCycle: what the study run asks of the window, and through it of the page.
  void RestartFromChapterList() override;
  void StopCycle() override;
  void AnnounceEnd() override;
  bool StudiesEveryCourse() override;
  void ShowStatus(const std::string& text) override;
  std::string PageAddress() override;
  void OpenPage(const std::string& address) override;
  void LoadAgain(const std::string& address) override;
  bool StopLoading() override;
  void EndPageProcess() override;
  void PagesForARun(bool armed) override;
  std::optional<std::vector<std::string>> ReadCourses() override;

  // Shows a box owned by this window with the caption every box of the main window carries.
  int ShowMessage(std::string_view utf8Text, unsigned type);

  Platform& platform_;

 public:
  // Declaration order is the one the handlers' files rely on; destruction runs in reverse.
  int m_hIcon;
  CWebBrowser2 m_browser;
  CDifferWeb m_differWeb;
  int m_widthMargin = 0;
  int m_heightMargin = 0;
  int m_loginType = LOGIN_BY_ID_CARD;
  dom::Ref<dom::Document> m_leftFrameDoc;
  dom::Ref<dom::Document> m_rightFrameDoc;
  std::vector<std::string> m_chapterUrls;
  std::array<char, 24> m_capturedAccount{};

 private:
  StudyRun studyRun_;

  // The window's controls around a study run: the choices to study every course and to turn the
  // pages' sound off (remembered in the program's settings file), the status line at the foot
  // and the journal button.
 public:
  // Shows `gbkText` in the status line.
  void ShowRunStatus(const std::string& gbkText);
  // Whether the student has chosen to study every course; kept after the window has gone.
  bool StudyAllCourses() const { return studyAllCourses_; }
  void OnStudyAllCoursesClicked();
  // Whether the student has turned the sound of the pages off; kept after the window has gone.
  bool Muted() const { return muted_; }
  void OnMuteClicked();
  void OnOpenJournal();
  // The account edit is named for what the login type selects.
  void OnLoginTypeChanged();

 private:
  bool studyAllCourses_ = false;
  bool muted_ = false;
  // The client area and the foot's controls as the template laid them out, which resizing
  // keeps at the same distance from the bottom (and the right) edge.
  PixelRect initialClient_{};
  PixelRect runStatusRect_{};
  PixelRect journalButtonRect_{};

  // Certificates the browser refused, handled after its event: trusted again, or asked about.
  struct RefusedCertificate {
    CertificateRejection rejection;
    bool ask = true;
  };
  void HandleRefusedCertificates();
  bool TrustRefusedCertificate(const CertificateRejection& rejection);
  std::vector<RefusedCertificate> refusedCertificates_;
  std::set<std::string> certificateHostsAsked_;  // a box open, or about to open, for each
  std::map<std::string, Clock::TimePoint> certificatesTrusted_;  // "host fingerprint": when
  Clock::CallId certificateCall_ = 0;
};

}  // namespace larkwend
