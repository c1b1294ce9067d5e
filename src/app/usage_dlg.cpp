// SPDX-License-Identifier: GPL-3.0-or-later
// The usage dialog, and the main window's two handlers that lead away from its browser: the usage
// button and the banner.
#include "app/usage_dlg.h"

#include <array>

#include "app/quillmoor_app.h"
#include "app/quillmoor_dlg.h"
#include "platform/system_browser.h"
#include "resources/site_profile.h"
#include "resources/templates.h"
#include "resources/texts.h"

namespace larkwend {

std::string UsageText() {
  using namespace texts;
  const std::array<std::string, 8> lines = {
      std::string(kUsageHeading),
      "",
      std::string(kUsageLoginBefore) + std::string(site::PortalDisplayName) +
          std::string(kUsageLoginAfter),
      std::string(kUsageAddressBefore) + std::string(site::PortalHomeUrl) +
          std::string(kUsageAddressAfter),
      "",
      std::string(kUsageBenefits),
      "",
      std::string(kUsageVerificationCode),
  };
  std::string text = lines.front();
  for (std::size_t i = 1; i < lines.size(); ++i) text += "\r\n" + lines[i];
  return Gbk(text);
}

CUsageDlg::CUsageDlg(DialogSystem& system) : CDialog(system, UsageDialogTemplate()) {}

bool CUsageDlg::OnInitDialog() {
  CDialog::OnInitDialog();
  if (window()) window()->SetItemText(IDC_USAGE_TEXT, UsageText());
  return true;
}

void CQuillmoorDlg::OnUsageButton() {
  CUsageDlg dialog(platform().dialogs);
  dialog.DoModal();
}

void CQuillmoorDlg::OnBannerClicked() {
  // A copy: the link must not change under the call, whatever the browser start does.
  std::string link = TheApp().m_strDownloadUrl;
  if (link.empty()) return;
  OpenInSystemBrowser(platform(), link);
}

}  // namespace larkwend
