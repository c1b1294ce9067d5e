// SPDX-License-Identifier: GPL-3.0-or-later
// CCertificateDlg: the 安全警报 box (template 132) about a site's certificate the browser refused:
// what is wrong with it and what it is, with 继续 (trust it for that site) and 取消.
//
// The main window's handling of such a refusal lives beside it (certificate_dlg.cpp): a
// certificate the student trusted before is trusted again and the page loaded again without a
// word; any other is asked about, in one box per host at a time, and trusted only on 继续.
#pragma once

#include <string>

#include "platform/browser_control.h"
#include "platform/dialog.h"

namespace larkwend {

constexpr int IDC_CERTIFICATE_TEXT = 1001;

// What the box says of `rejection` in its text, in the program's code page: lines joined with
// CR LF, none after the last.
std::string CertificateText(const CertificateRejection& rejection);

class CCertificateDlg : public CDialog {
 public:
  // Owned by whichever window is active, as every dialog of the program is.
  CCertificateDlg(DialogSystem& system, const CertificateRejection& rejection);

  bool OnInitDialog() override;

 private:
  const CertificateRejection& rejection_;
};

}  // namespace larkwend
