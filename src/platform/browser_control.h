// The embedded browser control: the members and events the program uses.
//
// The real control is WebKitGTK (platform/gtk); the unit tests use an in-memory one. Both keep
// the ordering the automation relies on: BeforeNavigate2 is raised while the page being left is
// still the current document, so its typed form values can still be read.
#pragma once

#include "platform/dom.h"

namespace larkwend {

constexpr long READYSTATE_COMPLETE = 4;

// Receives the control's events on the GUI thread.
class BrowserEvents {
 public:
  // `browserObject` is the control's own identity for the top-level page, or a frame's.
  virtual void BeforeNavigate2(dom::Dispatch* browserObject, const dom::WideText& url,
                               bool& cancel) = 0;
  virtual void DocumentComplete(dom::Dispatch* browserObject, const dom::WideText& url) = 0;
  virtual void NewWindow3(bool& cancel, unsigned flags, const dom::WideText& urlContext,
                          const dom::WideText& url) = 0;

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

  // At most one sink; null detaches.
  virtual void SetEventSink(BrowserEvents* sink) = 0;
};

}  // namespace larkwend
