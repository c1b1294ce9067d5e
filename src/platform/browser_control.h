// SPDX-License-Identifier: GPL-3.0-or-later
// The embedded browser control: the members and events the program uses.
//
// The real control is WebKitGTK (platform/gtk); the unit tests use an in-memory one. Both keep
// the ordering the automation relies on: BeforeNavigate2 is raised while the page being left is
// still the current document, so its typed form values can still be read.
#pragma once

#include <cstdint>
#include <string>

#include "platform/dom.h"

namespace larkwend {

constexpr long READYSTATE_COMPLETE = 4;

// A page or frame that did not load: the server answered with an error status, or the
// connection failed. The engine may still show a document for it (the server's own error page,
// or an empty one); that document is never the page asked for.
struct LoadFailure {
  std::string address;
  bool topLevel = true;
  int httpStatus = 0;        // 400 and above; 0 for a network error
  std::string networkError;  // the engine's words, when httpStatus is 0
};

// Why a page's video or audio could not play, as the engine told the page.
enum class MediaFault {
  kNetwork,      // its data stopped coming in the middle of playing
  kDecode,       // its data could not be decoded
  kUnsupported,  // no decoder for its format, or nothing the engine can play at all
  kNotFound,     // the server answered its address with an error status
};

struct MediaFailure {
  std::string address;  // the document that holds the media element (a frame's, or the page's)
  std::string source;   // what it tried to play (empty when unknown)
  MediaFault fault = MediaFault::kUnsupported;
  int httpStatus = 0;  // with kNotFound: the server's answer
};

// What the engine found wrong with a site's certificate, as flags.
enum CertificateProblem : unsigned {
  kCertificateUnknownIssuer = 1u << 0,  // not issued by an authority the system trusts
  kCertificateWrongName = 1u << 1,      // issued for another host
  kCertificateNotYetValid = 1u << 2,
  kCertificateExpired = 1u << 3,
  kCertificateRevoked = 1u << 4,
  kCertificateInsecure = 1u << 5,  // its algorithm or key is too weak to be relied on
  kCertificateOtherProblem = 1u << 6,
};

// A top-level load refused because of the site's certificate. Nothing was shown of it: the page
// before stays. Texts are UTF-8; times are seconds since the epoch, 0 when unknown.
struct CertificateRejection {
  std::string address;
  std::string host;
  unsigned problems = 0;  // CertificateProblem flags
  std::string subject, issuer;
  std::int64_t validFrom = 0, validUntil = 0;
  std::string fingerprint;  // SHA-256 of the certificate, "AB:CD:..." in upper-case hex
};

// Why the page's process went away.
enum class PageProcessEnd { kCrashed, kOutOfMemory, kEndedByProgram };

// Receives the control's events on the GUI thread.
class BrowserEvents {
 public:
  // `browserObject` is the control's own identity for the top-level page, or a frame's.
  virtual void BeforeNavigate2(dom::Dispatch* browserObject, const dom::WideText& url,
                               bool& cancel) = 0;
  virtual void DocumentComplete(dom::Dispatch* browserObject, const dom::WideText& url) = 0;
  virtual void NewWindow3(bool& cancel, unsigned flags, const dom::WideText& urlContext,
                          const dom::WideText& url) = 0;

  // A top-level navigation is about to be decided (BeforeNavigate2 follows for it): whether the
  // user asked for it (a click or key of theirs, a page the program was told to open) or the
  // page went there by itself (a script, a window it opened, a click the program made).
  virtual void TopLevelNavigationAsked(const std::string& /*address*/, bool /*byUser*/) {}

  // What the engine reports beyond those events: facts about loads and about the page's process.
  // The program decides what to make of them; a sink that does not care ignores them.
  //
  // A load began: the top-level page (which replaces every frame) or one frame's document.
  virtual void LoadStarted(const std::string& /*address*/, bool /*topLevel*/) {}
  // That load ended with the page or the frame's document shown. `address` is where it ended,
  // after any redirect.
  virtual void LoadFinished(const std::string& /*address*/, bool /*topLevel*/) {}
  virtual void LoadFailed(const LoadFailure& /*failure*/) {}
  // A top-level load failed on the site's certificate; no LoadFailed follows for it.
  virtual void CertificateRejected(const CertificateRejection& /*rejection*/) {}
  // That load was given up before it ended: another load took its place, or it was stopped. A
  // frame's load redirected elsewhere is given up too, and its load of the new address started.
  virtual void LoadStopped(const std::string& /*address*/, bool /*topLevel*/) {}
  // The page stopped answering document-model calls (each now fails at once), or answers again.
  virtual void AnsweringChanged(bool /*answering*/) {}
  // The page's process is gone; nothing is shown until a page is loaded again.
  virtual void PageProcessEnded(PageProcessEnd /*why*/) {}
  // A media element of the page or of one of its frames failed for good.
  virtual void MediaFailed(const MediaFailure& /*failure*/) {}

 protected:
  ~BrowserEvents() = default;
};

class BrowserControl {
 public:
  virtual ~BrowserControl() = default;

  virtual void Navigate(const dom::WideText& url) = 0;
  virtual void Navigate2(const dom::WideText& url) = 0;
  // The current top-level document, or null while there is none.
  virtual dom::Status get_Document(dom::Ref<dom::Document>& out) = 0;
  virtual dom::Status get_LocationURL(dom::WideText& out) = 0;
  virtual dom::Status get_ReadyState(long& out) = 0;
  virtual void put_Silent(bool silent) = 0;
  virtual void Refresh() = 0;
  // The control's own identity, compared with the object an event carries.
  virtual dom::Ref<dom::Dispatch> ControlIdentity() = 0;
  // Whether the control's window exists.
  virtual bool HasWindow() const = 0;

  // What the program may ask of the engine when a page goes wrong.
  //
  // Loads `address` as the top-level page without BeforeNavigate2, as Refresh does: it is the
  // control bringing a page back, not a navigation of the page's or the student's.
  virtual void LoadAgain(const dom::WideText& url) = 0;
  // Stops every load of the page. False when the page did not answer afterwards.
  virtual bool StopLoading() = 0;
  // Ends the page's process at once; PageProcessEnded follows.
  virtual void EndPageProcess() = 0;
  // Whether a failed top-level load shows the engine's own error page (the default) or leaves
  // the view as the failure left it.
  virtual void ShowErrorPages(bool show) = 0;
  // Trusts, for `host` only, the certificate the engine last rejected there with this
  // fingerprint, for as long as the program runs; the engine checks every other one as before.
  // False when no such certificate was rejected.
  virtual bool TrustCertificate(const std::string& host, const std::string& fingerprint) = 0;

  // The whole view's sound, off or on. The pages' own media keep their volume and muted state:
  // a page that checks them sees what it set.
  virtual void SetMuted(bool muted) = 0;
  // Pages always see themselves shown, whatever happens to the window (minimised, covered, on
  // another workspace); with `keep`, they also never see the window lose the focus, from now on
  // and in the pages loaded after.
  virtual void KeepPagesFocused(bool keep) = 0;

  // At most one sink; null detaches.
  virtual void SetEventSink(BrowserEvents* sink) = 0;
};

}  // namespace larkwend
