// SPDX-License-Identifier: GPL-3.0-or-later
// Login assistance: watching the browser's navigations, remembering the credentials typed on the
// portal's login page, quick login from the window's edits, and the two navigation buttons.
#include <algorithm>

#include "app/credential_file.h"
#include "app/login_form.h"
#include "app/quillmoor_dlg.h"
#include "automation/site_pages.h"
#include "automation/study_journal.h"
#include "browser/conversions.h"
#include "platform/diagnostics.h"
#include "resources/site_profile.h"
#include "resources/texts.h"

namespace larkwend {

void CQuillmoorDlg::OnBeforeNavigate2(dom::Dispatch*, const dom::WideText& url, bool&) {
  // Top-level and frame navigations alike; the navigation itself always proceeds. Leaving the
  // login page for the portal's user pages means a login was submitted.
  const std::string address = url.value_or("");
  if (site_pages::IsPortalUserPage(address)) {
    // Captured before the address is written anywhere: a login form sent by GET carries the
    // password in it, and only the capture makes the records mask it.
    CaptureCredentials();
    Diagnose("navigation to " + url.value_or("") +
             ": a portal user page, after reading the login form being left");
  }
  if (site_pages::IsChapterPage(address)) {
    const bool loggedIn = m_capturedAccount[0] != '\0';
    Diagnose("navigation to " + url.value_or("") + ": a study page, " +
             (loggedIn ? "arming the study run" : "no login captured, nothing to arm"));
    ArmAutoStudy();
    if (loggedIn) study_journal::StudyRunArmed(url.value_or(""));
  }
}

void CQuillmoorDlg::CaptureCredentials() {
  // During the before-navigate event the document is still the login page being left.
  dom::Ref<dom::Document> document = m_browser.GetDocument();
  if (!document) return;
  std::string password;
  if (!m_differWeb.GetInputValue(document.get(), login_form::kPasswordInput, password)) return;

  std::string account;
  if (!password.empty()) {
    // A user-name login: the password field was filled in.
    WriteCredential(kPasswordKey, password);
    if (!m_differWeb.GetInputValue(document.get(), login_form::kUserNameInput, account)) return;
  } else {
    // An ID-card login leaves the password field empty; the stored password is kept.
    if (!m_differWeb.GetInputValue(document.get(), login_form::kIdCardInput, account)) return;
  }
  WriteCredential(kAccountKey, account);
  study_journal::LoginCaptured(GbkToUtf8(account));

  // Only the first account of this start is kept in memory, lower-cased and cut to what the
  // 24-byte field holds, never through the middle of a character.
  if (m_capturedAccount[0] != '\0') return;
  LowerCaseGbk(account);
  std::string kept = CutGbk(account, m_capturedAccount.size() - 1);
  m_capturedAccount.fill('\0');
  std::copy(kept.begin(), kept.end(), m_capturedAccount.begin());
}

void CQuillmoorDlg::OnQuickLogin() {
  DialogWindow* w = window();
  if (!w) return;
  std::string account = w->GetItemText(IDC_ACCOUNT);
  std::string password = w->GetItemText(IDC_PASSWORD);
  if (account.empty()) return;
  dom::Ref<dom::Document> document = m_browser.GetDocument();
  if (!document) return;

  // Stored before the page is tried, so a page without the login form still keeps them.
  WriteCredential(kAccountKey, account);
  WriteCredential(kPasswordKey, password);

  UpdateData(true);  // the login kind chosen in the combo box
  if (m_loginType == LOGIN_BY_ID_CARD) {
    // The ID-card form has no password of its own.
    if (m_differWeb.SetInputValue(document.get(), login_form::kIdCardInput, account))
      m_differWeb.ClickElementById(document.get(), login_form::kIdCardLoginButton);
  } else if (m_loginType == LOGIN_BY_USER_NAME) {
    if (m_differWeb.SetInputValue(document.get(), login_form::kUserNameInput, account) &&
        m_differWeb.SetInputValue(document.get(), login_form::kPasswordInput, password))
      m_differWeb.ClickElementById(document.get(), login_form::kUserNameLoginButton);
  }
}

void CQuillmoorDlg::OnPersonalCenter() {
  if (!m_browser.HasWindow()) return;
  // The current address is searched as it is, case and all.
  std::string location = m_browser.GetLocationURL();
  if (ContainsGbk(location, Gbk(site::PortalDomainKey)))
    m_browser.Navigate2(Gbk(site::PortalUserCenterUrl));
  else if (ContainsGbk(location, Gbk(site::StudyDomainKey)))
    m_browser.Navigate2(Gbk(site::CourseListUrl));
  else
    ShowMessage(texts::kUnknownSite, MB_OK | MB_ICONERROR);
}

void CQuillmoorDlg::OnCourseList() {
  if (!m_browser.HasWindow()) return;
  std::string location = m_browser.GetLocationURL();
  if (ContainsGbk(location, Gbk(site::StudyHostKey)))
    m_browser.Navigate2(Gbk(site::CourseListUrl));
  else
    ShowMessage(texts::kEnterStudySystemFirst, MB_OK | MB_ICONINFORMATION);
}

}  // namespace larkwend
