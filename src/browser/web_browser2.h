// SPDX-License-Identifier: GPL-3.0-or-later
// CWebBrowser2: the main dialog's wrapper around the embedded browser control.
//
// It adds nothing of its own: each member forwards to the control, taking and giving the
// program's GBK text. Before the dialog attaches it to control 1000 it has no window, and every
// member is then harmless.
#pragma once

#include <string>

#include "platform/browser_control.h"
#include "platform/dom.h"

namespace larkwend {

class CWebBrowser2 {
 public:
  void Attach(BrowserControl* control) { control_ = control; }
  BrowserControl* control() const { return control_; }
  bool HasWindow() const { return control_ && control_->HasWindow(); }

  void Navigate(const std::string& url);
  void Navigate2(const std::string& url);
  // The current top-level document, or null.
  dom::Ref<dom::Document> GetDocument();
  std::string GetLocationURL();
  // The load state; 0 when it cannot be read.
  long GetReadyState();
  void SetSilent(bool silent);
  void Refresh();
  // Bringing a page back (BrowserControl): no BeforeNavigate2 for LoadAgain; StopLoading is
  // false when the page did not answer afterwards.
  void LoadAgain(const std::string& url);
  bool StopLoading();
  void EndPageProcess();
  void ShowErrorPages(bool show);
  void SetMuted(bool muted);
  void KeepPagesFocused(bool keep);
  // The host and the fingerprint are ASCII, the same in either encoding.
  bool TrustCertificate(const std::string& host, const std::string& fingerprint);
  // The hosted control object, for comparing with the object an event carries.
  dom::Ref<dom::Dispatch> GetControlUnknown();

 private:
  BrowserControl* control_ = nullptr;
};

}  // namespace larkwend
