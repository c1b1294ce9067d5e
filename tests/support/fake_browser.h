// SPDX-License-Identifier: GPL-3.0-or-later
// The in-memory browser host: pages built compactly by a test, a control that raises the same
// events in the same order as the real one, and a way to make any single call fail.
//
// Every object handed out is counted; `LiveReferences()` says how many references the code under
// test still holds, so a test can prove that an operation released everything on every path.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/browser_control.h"
#include "platform/dom.h"

namespace larkwend::fake {

struct Element {
  std::string tag = "div";
  std::string id, name;
  dom::WideText className = std::string();
  dom::WideText innerHTML = std::string();
  dom::WideText outerHTML;  // null: built from tag, href and inner markup
  dom::WideText outerText = std::string();
  dom::WideText value = std::string();   // inputs
  dom::WideText target = std::string();  // anchors and areas
  std::string href;
  int clicks = 0;
  std::function<void()> onClick;

  bool IsInput() const { return tag == "input"; }
  bool IsLink() const { return (tag == "a" || tag == "area") && !href.empty(); }
};
using ElementPtr = std::shared_ptr<Element>;

struct Page {
  std::string url;
  std::vector<ElementPtr> elements;  // document order
  std::vector<std::shared_ptr<Page>> frames;
  bool definesPopupScript = true;  // execScript succeeds only when the page's script exists
  std::vector<std::string> scriptsRun;

  // Builders; each returns the element so a test can keep a handle on it.
  ElementPtr Add(Element e);
  ElementPtr Input(const std::string& id, const std::string& name = {},
                   const std::string& value = {});
  ElementPtr Anchor(const std::string& href, const std::string& target = {},
                    const std::string& inner = {});
  ElementPtr Area(const std::string& href, const std::string& target);
  ElementPtr Div(const std::string& className, const std::string& inner = {});
  ElementPtr Button(const std::string& id);
  ElementPtr WithId(const std::string& id, const std::string& outerText);
  std::shared_ptr<Page> Frame(const std::string& url);

  ElementPtr FindById(const std::string& id) const;
};
using PagePtr = std::shared_ptr<Page>;
PagePtr MakePage(const std::string& url);

// Calls are named "Face.method", e.g. "Document.get_all", "Query.InputElement",
// "Control.get_Document", "Collection.item", "Frames.item", "Element.click".
// What Host::Enter answers for a call that is to succeed with a null result: not a status any
// call returns, only the fake's note to itself.
constexpr dom::Status kNullWanted = 1;

class Host {
 public:
  // Every call with this name fails from now on (or only the nth from now, counting from 1),
  // with `status` (dom::kUnanswered: an action the page took too long to answer).
  void Fail(const std::string& call, int nth = 0, dom::Status status = dom::kFailed) {
    failures_[call] = {nth, status};
    seen_[call] = 0;
  }
  // Every call with this name succeeds but yields null.
  void Null(const std::string& call) { nulls_[call] = true; }
  void ClearFailures() {
    failures_.clear();
    nulls_.clear();
  }

  // Names of the calls made since the last ClearLog, in order.
  const std::vector<std::string>& calls() const { return calls_; }
  void ClearLog() { calls_.clear(); }

  long LiveReferences() const { return live_; }

  // Used by the fake objects.
  // kFailed (or the status asked for), kNullWanted or kOk.
  dom::Status Enter(const std::string& call);
  void Count(long delta) { live_ += delta; }

 private:
  std::map<std::string, std::pair<int, dom::Status>> failures_;
  std::map<std::string, bool> nulls_;
  std::map<std::string, int> seen_;
  std::vector<std::string> calls_;
  long live_ = 0;
};

class Control : public BrowserControl {
 public:
  explicit Control(Host& host);
  ~Control() override;

  // BrowserControl.
  void Navigate(const dom::WideText& url) override;
  void Navigate2(const dom::WideText& url) override;
  dom::Status get_Document(dom::Ref<dom::Document>& out) override;
  dom::Status get_LocationURL(dom::WideText& out) override;
  dom::Status get_ReadyState(long& out) override;
  void put_Silent(bool) override {}
  void Refresh() override { ++refreshes_; }
  dom::Ref<dom::Dispatch> ControlIdentity() override;
  bool HasWindow() const override { return hasWindow_; }
  void SetEventSink(BrowserEvents* sink) override { sink_ = sink; }
  void LoadAgain(const dom::WideText& url) override { loadsAgain_.push_back(url.value_or("")); }
  bool StopLoading() override { return true; }
  void EndPageProcess() override {}
  void ShowErrorPages(bool show) override { showErrorPages_ = show; }
  void SetMuted(bool muted) override { muted_ = muted; }
  void KeepPagesFocused(bool) override {}
  // Trusts only what was rejected: a rejection raised through Reject().
  bool TrustCertificate(const std::string& host, const std::string& fingerprint) override;

  // A navigation as the real control does it: BeforeNavigate2 while the current page is still
  // the document (unless cancelled), then LoadStarted, the new page and DocumentComplete for each
  // frame and for the top level, and LoadFinished. Frame completions carry the frame's own
  // identity.
  void Load(const PagePtr& page);
  void LoadUrl(const std::string& url);  // an empty page at `url`
  // Raises only BeforeNavigate2 for a frame navigation (the frame's identity).
  bool RaiseFrameBeforeNavigate(const std::string& url);
  // Carries out the navigations asked for with Navigate/Navigate2, in order.
  void Pump();

  // Where the engine's facts (LoadFailed, PageProcessEnded...) go; a test raises them there.
  BrowserEvents* sink() const { return sink_; }
  // Raises CertificateRejected as the engine does for a top-level load it refused.
  void Reject(const CertificateRejection& rejection);
  // "host fingerprint" for each certificate trusted, in order.
  const std::vector<std::string>& trusted() const { return trusted_; }
  // What the program asked when a page went wrong.
  const std::vector<std::string>& loadsAgain() const { return loadsAgain_; }
  bool showsErrorPages() const { return showErrorPages_; }
  bool muted() const { return muted_; }
  void SetReadyState(long state) { readyState_ = state; }
  void SetHasWindow(bool has) { hasWindow_ = has; }
  int refreshes() const { return refreshes_; }
  // Every URL given to Navigate or Navigate2, in order.
  const std::vector<std::string>& navigations() const { return navigations_; }
  // Whether the last navigation came through Navigate (true) or Navigate2.
  const std::vector<bool>& navigateKinds() const { return kinds_; }

 private:
  Host& host_;
  PagePtr page_;
  std::vector<std::string> pending_;
  std::vector<std::string> navigations_;
  std::vector<bool> kinds_;
  BrowserEvents* sink_ = nullptr;
  long readyState_ = READYSTATE_COMPLETE;
  bool hasWindow_ = true;
  int refreshes_ = 0;
  std::vector<std::string> loadsAgain_;
  std::vector<std::string> rejected_, trusted_;
  bool showErrorPages_ = true;
  bool muted_ = false;
  dom::Dispatch* identity_;  // owned: one counted reference, not counted as live
};

}  // namespace larkwend::fake
