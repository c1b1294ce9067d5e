// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/certificate_dlg.h"

#include <chrono>
#include <ctime>
#include <utility>

#include "app/quillmoor_dlg.h"
#include "app/trusted_certificates.h"
#include "platform/diagnostics.h"
#include "resources/templates.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

// A certificate the program trusted lately and the browser refused all the same is not trusted
// again without the student: that would load the page again for ever.
constexpr std::chrono::minutes kTrustedLately{1};

// The validity's ends in the student's local time.
std::string DateText(std::int64_t seconds) {
  if (seconds == 0) return std::string(texts::kCertificateUnknownValue);
  const std::time_t time = static_cast<std::time_t>(seconds);
  std::tm local{};
  if (const std::tm* t = std::localtime(&time)) local = *t;
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

std::string OrUnknown(const std::string& value) {
  return value.empty() ? std::string(texts::kCertificateUnknownValue) : value;
}

}  // namespace

std::string CertificateText(const CertificateRejection& r) {
  using namespace texts;
  std::string text = std::string(kCertificateSite) + OrUnknown(r.host);
  text += "\r\n" + std::string(kCertificateProblemsHeading);
  for (const CertificateProblemText& problem : kCertificateProblems)
    if (r.problems & problem.problem)
      text += "\r\n" + std::string(kCertificateProblemBullet) + std::string(problem.text);
  text += "\r\n" + std::string(kCertificateSubject) + OrUnknown(r.subject);
  text += "\r\n" + std::string(kCertificateIssuer) + OrUnknown(r.issuer);
  text += "\r\n" + std::string(kCertificateValidity) + DateText(r.validFrom) +
          std::string(kCertificateValidityTo) + DateText(r.validUntil);
  text += "\r\n" + std::string(kCertificateFingerprint);
  // Sixteen bytes a line: the whole fingerprint would not fit the box's width.
  const std::string fingerprint = OrUnknown(r.fingerprint);
  for (std::size_t at = 0; at < fingerprint.size(); at += 48)
    text += "\r\n" + fingerprint.substr(at, 47);
  return Gbk(text);
}

CCertificateDlg::CCertificateDlg(DialogSystem& system, const CertificateRejection& rejection)
    : CDialog(system, CertificateDialogTemplate()), rejection_(rejection) {}

bool CCertificateDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (window()) window()->SetItemText(IDC_CERTIFICATE_TEXT, CertificateText(rejection_));
  return true;
}

// ---- the main window's handling of a refused certificate --------------------------------------

void CQuillmoorDlg::CertificateRejected(const CertificateRejection& rejection) {
  const std::string& host = rejection.host;
  if (certificateHostsAsked_.contains(host)) {
    // The box already open answers for this host.
    studyRun_.LoadStopped(rejection.address, true);
    return Diagnose("certificate of " + host + " refused again while the student is asked");
  }
  const auto trusted = certificatesTrusted_.find(host + " " + rejection.fingerprint);
  const bool trustedLately = trusted != certificatesTrusted_.end() &&
                             platform_.clock.Now() - trusted->second < kTrustedLately;
  const bool ask = trustedLately || !IsCertificateTrusted(host, rejection.fingerprint);
  if (ask) {
    if (trustedLately) Diagnose("the browser refused the certificate of " + host + " just trusted");
    // Loading the page again would only meet the same certificate: a run waits for the answer.
    studyRun_.CertificateRejected(rejection.address, host, rejection.problems);
    certificateHostsAsked_.insert(host);
  } else {
    studyRun_.LoadStopped(rejection.address, true);
  }
  // Asked and trusted outside the browser's event, which the load it refused is still ending in.
  refusedCertificates_.push_back({rejection, ask});
  if (!certificateCall_)
    certificateCall_ = platform_.clock.After(std::chrono::milliseconds(0), [this] {
      certificateCall_ = 0;
      HandleRefusedCertificates();
    });
}

void CQuillmoorDlg::HandleRefusedCertificates() {
  // A box runs a loop of its own, where more refusals may come and be handled: each is taken
  // out before it is handled.
  while (!refusedCertificates_.empty() && window()) {
    const RefusedCertificate refused = std::move(refusedCertificates_.front());
    refusedCertificates_.erase(refusedCertificates_.begin());
    const CertificateRejection& r = refused.rejection;
    if (!refused.ask) {
      Diagnose("the certificate of " + r.host + " was trusted before: loading " + r.address +
               " again");
      if (TrustRefusedCertificate(r)) m_browser.LoadAgain(Utf8ToGbk(r.address));
      continue;
    }
    CCertificateDlg dialog(platform_.dialogs, r);
    const int answer = dialog.DoModal();
    certificateHostsAsked_.erase(r.host);
    if (answer != IDOK || !window()) {
      Diagnose("the certificate of " + r.host + " was not trusted: " + r.address + " not loaded");
      continue;
    }
    if (!TrustRefusedCertificate(r)) continue;
    RememberTrustedCertificate(r.host, r.fingerprint);
    Diagnose("the student trusted the certificate of " + r.host + " (" + r.fingerprint +
             "): loading " + r.address + " again");
    // As the student's own navigation: a chapter page arms the run again.
    m_browser.Navigate2(Utf8ToGbk(r.address));
  }
}

bool CQuillmoorDlg::TrustRefusedCertificate(const CertificateRejection& r) {
  if (!m_browser.TrustCertificate(r.host, r.fingerprint)) {
    Diagnose("the browser no longer holds the certificate refused for " + r.host);
    return false;
  }
  certificatesTrusted_[r.host + " " + r.fingerprint] = platform_.clock.Now();
  return true;
}

}  // namespace larkwend
