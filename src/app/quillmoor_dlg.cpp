// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/quillmoor_dlg.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "app/credential_file.h"
#include "app/program_settings.h"
#include "automation/alert_dismisser.h"
#include "automation/course_list.h"
#include "browser/conversions.h"
#include "browser/link_targets.h"
#include "platform/diagnostics.h"
#include "platform/journal.h"
#include "platform/shell.h"
#include "resources/site_profile.h"
#include "resources/templates.h"
#include "resources/texts.h"
#include "update/update_check.h"

namespace larkwend {

CQuillmoorDlg::CQuillmoorDlg(Platform& platform, StudyRunTimings timings)
    : CDialog(platform.dialogs, MainDialogTemplate()),
      platform_(platform),
      m_hIcon(IDR_MAINFRAME),
      studyRun_(platform.clock, platform.session, *this, timings) {}

CQuillmoorDlg::~CQuillmoorDlg() {
  // Reverse declaration order, as the members would go, but explicit: the frame documents are
  // given back before the browser that produced them.
  m_chapterUrls.clear();
  m_rightFrameDoc.Reset();
  m_leftFrameDoc.Reset();
  platform_.clock.Cancel(certificateCall_);
  studyRun_.Stop();
  if (BrowserControl* control = m_browser.control()) control->SetEventSink(nullptr);
  StopAlertDismisser();
}

void CQuillmoorDlg::AttachWindow(DialogWindow* window) {
  if (!window) {
    platform_.clock.Cancel(std::exchange(certificateCall_, 0));
    studyRun_.Stop();
    if (BrowserControl* control = m_browser.control()) control->SetEventSink(nullptr);
    m_browser.Attach(nullptr);
  }
  CDialog::AttachWindow(window);
}

void CQuillmoorDlg::DoDataExchange(DataExchange& dx) {
  // Control 1000 is bound to the browser wrapper on the first exchange.
  if (!m_browser.control()) {
    if (BrowserControl* control = dx.window.GetBrowserControl(IDC_BROWSER)) {
      m_browser.Attach(control);
      control->SetEventSink(this);
    }
  }
  if (dx.saveAndValidate)
    m_loginType = dx.window.GetComboSelection(IDC_LOGIN_TYPE);
  else
    dx.window.SetComboSelection(IDC_LOGIN_TYPE, m_loginType);
}

bool CQuillmoorDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  DialogWindow& w = *window();

  w.SetIcon(m_hIcon);

  PixelRect browser = w.GetItemRect(IDC_BROWSER);
  PixelRect client = w.GetClientRect();
  m_widthMargin = client.width - browser.width;
  m_heightMargin = client.height - browser.height;

  char title[64] = {};
  std::snprintf(title, sizeof title, std::string(texts::kTitleFormat).c_str(),
                std::string(texts::kProductName).c_str(), APP_VERSION / 100, APP_VERSION % 100);
  w.SetTitle(title);

  m_browser.SetSilent(true);
  m_browser.Navigate2(Gbk(site::PortalLoginUrl));

  w.SetItemText(IDC_ACCOUNT, ReadCredential(kAccountKey));
  w.SetItemText(IDC_PASSWORD, ReadCredential(kPasswordKey));

  m_capturedAccount.fill('\0');
  m_loginType = LOGIN_BY_ID_CARD;
  UpdateData(false);

  initialClient_ = client;
  runStatusRect_ = w.GetItemRect(IDC_RUN_STATUS);
  journalButtonRect_ = w.GetItemRect(IDC_OPEN_JOURNAL);
  studyAllCourses_ = ReadStudyAllCourses();
  w.SetCheck(IDC_STUDY_ALL_COURSES, studyAllCourses_);
  muted_ = ReadMuted();
  w.SetCheck(IDC_MUTE, muted_);
  m_browser.SetMuted(muted_);
  OnLoginTypeChanged();
  w.SetItemAccessibleName(IDC_BANNER, Gbk(texts::kBannerName));
  return true;
}

void CQuillmoorDlg::OnCommand(int id, int notifyCode) {
  // The message map: clicks (notification 0) of the buttons, the check box and the banner
  // picture, and the login type's new selection.
  struct Entry {
    int id;
    void (CQuillmoorDlg::*handler)();
    int notifyCode = BN_CLICKED;
  };
  static constexpr Entry kMessageMap[] = {
      {IDC_USAGE, &CQuillmoorDlg::OnUsageButton},
      {IDC_QUICK_LOGIN, &CQuillmoorDlg::OnQuickLogin},
      {IDC_PERSONAL_CENTER, &CQuillmoorDlg::OnPersonalCenter},
      {IDC_COURSE_LIST, &CQuillmoorDlg::OnCourseList},
      {IDC_AUTO_STUDY, &CQuillmoorDlg::OnAutoStudyButton},
      {IDC_BANNER, &CQuillmoorDlg::OnBannerClicked},
      {IDC_STUDY_ALL_COURSES, &CQuillmoorDlg::OnStudyAllCoursesClicked},
      {IDC_MUTE, &CQuillmoorDlg::OnMuteClicked},
      {IDC_OPEN_JOURNAL, &CQuillmoorDlg::OnOpenJournal},
      {IDC_LOGIN_TYPE, &CQuillmoorDlg::OnLoginTypeChanged, CBN_SELCHANGE},
  };
  for (const Entry& entry : kMessageMap)
    if (entry.id == id && entry.notifyCode == notifyCode) return (this->*entry.handler)();
  CDialog::OnCommand(id, notifyCode);
}

void CQuillmoorDlg::OnSize(int, int clientWidth, int clientHeight) {
  if (!m_browser.HasWindow() || !window()) return;
  // A client area smaller than the margins (a minimised window) would ask for a negative size.
  int width = clientWidth - m_widthMargin;
  int height = clientHeight - m_heightMargin;
  window()->SetItemSize(IDC_BROWSER, width < 0 ? 0 : width, height < 0 ? 0 : height);
  // The foot goes with the bottom edge: the status line takes the width, the journal button
  // keeps its corner.
  const int rise = initialClient_.height - clientHeight;
  const int widen = clientWidth - initialClient_.width;
  window()->MoveItem(IDC_RUN_STATUS, runStatusRect_.x, runStatusRect_.y - rise,
                     std::max(runStatusRect_.width + widen, 0), runStatusRect_.height);
  window()->MoveItem(IDC_OPEN_JOURNAL, journalButtonRect_.x + widen, journalButtonRect_.y - rise,
                     journalButtonRect_.width, journalButtonRect_.height);
}

// The event sink of control 1000.
void CQuillmoorDlg::BeforeNavigate2(dom::Dispatch* browserObject, const dom::WideText& url,
                                    bool& cancel) {
  OnBeforeNavigate2(browserObject, url, cancel);
}

void CQuillmoorDlg::TopLevelNavigationAsked(const std::string& address, bool byUser) {
  studyRun_.TopLevelNavigation(address, byUser);
}

void CQuillmoorDlg::DocumentComplete(dom::Dispatch* browserObject, const dom::WideText&) {
  OnDocumentComplete(m_browser, browserObject);
}

void CQuillmoorDlg::NewWindow3(bool& cancel, unsigned, const dom::WideText&,
                               const dom::WideText& url) {
  OnNewWindow3(m_browser, cancel, url);
}

void CQuillmoorDlg::LoadStarted(const std::string& address, bool topLevel) {
  studyRun_.LoadStarted(address, topLevel);
}

void CQuillmoorDlg::LoadFinished(const std::string& address, bool topLevel) {
  studyRun_.LoadFinished(address, topLevel);
}

void CQuillmoorDlg::LoadFailed(const LoadFailure& failure) {
  studyRun_.LoadFailed(failure);
}

void CQuillmoorDlg::LoadStopped(const std::string& address, bool topLevel) {
  studyRun_.LoadStopped(address, topLevel);
}

void CQuillmoorDlg::AnsweringChanged(bool answering) {
  studyRun_.AnsweringChanged(answering);
}

void CQuillmoorDlg::PageProcessEnded(PageProcessEnd why) {
  studyRun_.PageProcessEnded(why);
}

void CQuillmoorDlg::MediaFailed(const MediaFailure& failure) {
  studyRun_.MediaFailed(failure);
}

void CQuillmoorDlg::RestartFromChapterList() {
  Diagnose("the study page was loaded again: the run starts over from the chapter list");
  ArmAutoStudy();
}

int CQuillmoorDlg::ShowMessage(std::string_view utf8Text, unsigned type) {
  if (!window()) return IDCANCEL;
  return window()->MessageBox(Gbk(utf8Text), Gbk(site::MessageCaption), type);
}

void CQuillmoorDlg::ShowRunStatus(const std::string& gbkText) {
  if (window()) window()->SetItemText(IDC_RUN_STATUS, gbkText);
}

bool CQuillmoorDlg::StudiesEveryCourse() {
  return studyAllCourses_;
}

void CQuillmoorDlg::ShowStatus(const std::string& text) {
  ShowRunStatus(Gbk(text));
}

std::string CQuillmoorDlg::PageAddress() {
  return GbkToUtf8(m_browser.GetLocationURL());
}

void CQuillmoorDlg::LoadAgain(const std::string& address) {
  m_browser.LoadAgain(Utf8ToGbk(address));
}

bool CQuillmoorDlg::StopLoading() {
  return m_browser.StopLoading();
}

void CQuillmoorDlg::EndPageProcess() {
  m_browser.EndPageProcess();
}

void CQuillmoorDlg::PagesForARun(bool armed) {
  m_browser.ShowErrorPages(!armed);
  m_browser.KeepPagesFocused(armed);
}

std::optional<std::vector<std::string>> CQuillmoorDlg::ReadCourses() {
  return course_list::ReadCourses(m_browser);
}

void CQuillmoorDlg::OnStudyAllCoursesClicked() {
  if (!window()) return;
  studyAllCourses_ = window()->GetCheck(IDC_STUDY_ALL_COURSES);
  WriteStudyAllCourses(studyAllCourses_);
}

void CQuillmoorDlg::OnMuteClicked() {
  if (!window()) return;
  muted_ = window()->GetCheck(IDC_MUTE);
  // The whole view, at once: a page's own media keep the volume and muted state it gave them.
  m_browser.SetMuted(muted_);
  WriteMuted(muted_);
}

void CQuillmoorDlg::OnOpenJournal() {
  // Made empty when missing: the student sees an empty journal rather than an error.
  const std::string file = JournalFile();
  if (file.empty()) {
    ShowMessage(texts::kJournalCannotBeMade, MB_OK | MB_ICONEXCLAMATION);
    return;
  }
  if (!platform_.shell.OpenLocalFile(file))
    ShowMessage(std::string(texts::kJournalNoViewer) + file, MB_OK | MB_ICONEXCLAMATION);
}

void CQuillmoorDlg::OnLoginTypeChanged() {
  if (!window()) return;
  const bool byUserName = window()->GetComboSelection(IDC_LOGIN_TYPE) == LOGIN_BY_USER_NAME;
  window()->SetItemAccessibleName(
      IDC_ACCOUNT, Gbk(byUserName ? texts::kAccountByUserName : texts::kAccountByIdCardName));
}

}  // namespace larkwend
