// SPDX-License-Identifier: GPL-3.0-or-later
#include "browser/web_browser2.h"

#include "browser/conversions.h"

namespace larkwend {

void CWebBrowser2::Navigate(const std::string& url) {
  if (control_) control_->Navigate(ToWide(url));
}

void CWebBrowser2::Navigate2(const std::string& url) {
  if (control_) control_->Navigate2(ToWide(url));
}

dom::Ref<dom::Document> CWebBrowser2::GetDocument() {
  dom::Ref<dom::Document> document;
  if (control_ && dom::Failed(control_->get_Document(document))) document.Reset();
  return document;
}

std::string CWebBrowser2::GetLocationURL() {
  dom::WideText url;
  if (!control_ || dom::Failed(control_->get_LocationURL(url))) return {};
  return ToNarrow(url);
}

long CWebBrowser2::GetReadyState() {
  long state = 0;
  if (!control_ || dom::Failed(control_->get_ReadyState(state))) return 0;
  return state;
}

void CWebBrowser2::SetSilent(bool silent) {
  if (control_) control_->put_Silent(silent);
}

void CWebBrowser2::Refresh() {
  if (control_) control_->Refresh();
}

void CWebBrowser2::LoadAgain(const std::string& url) {
  if (control_) control_->LoadAgain(ToWide(url));
}

bool CWebBrowser2::StopLoading() {
  return control_ && control_->StopLoading();
}

void CWebBrowser2::EndPageProcess() {
  if (control_) control_->EndPageProcess();
}

void CWebBrowser2::ShowErrorPages(bool show) {
  if (control_) control_->ShowErrorPages(show);
}

void CWebBrowser2::SetMuted(bool muted) {
  if (control_) control_->SetMuted(muted);
}

void CWebBrowser2::KeepPagesFocused(bool keep) {
  if (control_) control_->KeepPagesFocused(keep);
}

bool CWebBrowser2::TrustCertificate(const std::string& host, const std::string& fingerprint) {
  return control_ && control_->TrustCertificate(host, fingerprint);
}

dom::Ref<dom::Dispatch> CWebBrowser2::GetControlUnknown() {
  return control_ ? control_->ControlIdentity() : nullptr;
}

}  // namespace larkwend
