// SPDX-License-Identifier: GPL-3.0-or-later
// The document model as the automation sees it.
//
// These interfaces are exactly the calls the program makes into a loaded page: nothing more, so a
// substitute host (the WebKit bridge, or the in-memory host of the unit tests) can honour all of
// it. Every call answers with a status (negative means failure) and, where it yields something,
// fills an out parameter that may legitimately be null. Callers skip a step on failure; that is
// why failure is a value here and never an exception.
//
// Objects are reference counted. `Ref<T>` holds one counted reference and gives it back when it
// goes out of scope, so a caller that returns early on any path releases what it took.
//
// Text crossing this boundary is `WideText`: the browser's own strings (UTF-8 here), which may be
// null. The program converts it to and from its own GBK text at the call sites (see
// browser/conversions.h).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace larkwend::dom {

using Status = std::int32_t;
constexpr Status kOk = 0;
constexpr Status kFailed = -1;       // the call failed
constexpr Status kNoInterface = -2;  // the object does not have the face asked for
// An action was sent to the page, which did not answer within the wait: it may well have
// taken effect. Only actions (a click, a script run) report it.
constexpr Status kUnanswered = -3;
constexpr bool Succeeded(Status s) {
  return s >= 0;
}
constexpr bool Failed(Status s) {
  return s < 0;
}

// Browser text: UTF-8, or null.
using WideText = std::optional<std::string>;

// Intrusive reference counting, as the document objects of the original platform had.
class Counted {
 public:
  virtual void AddRef() = 0;
  virtual void Release() = 0;

 protected:
  virtual ~Counted() = default;
};

template <typename T>
class Ref {
 public:
  Ref() = default;
  Ref(std::nullptr_t) {}
  // Takes a new reference to `p`.
  explicit Ref(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  // Adopts a reference the caller already owns (a freshly created object).
  static Ref Adopt(T* p) {
    Ref r;
    r.p_ = p;
    return r;
  }
  Ref(const Ref& o) : Ref(o.p_) {}
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  template <typename U>
  Ref(Ref<U>&& o) noexcept : p_(o.Detach()) {}
  Ref& operator=(Ref o) noexcept {
    std::swap(p_, o.p_);
    return *this;
  }
  ~Ref() { Reset(); }

  void Reset() {
    if (T* p = std::exchange(p_, nullptr)) p->Release();
  }
  T* Detach() { return std::exchange(p_, nullptr); }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  T& operator*() const { return *p_; }
  explicit operator bool() const { return p_ != nullptr; }
  friend bool operator==(const Ref& a, std::nullptr_t) { return a.p_ == nullptr; }

 private:
  T* p_ = nullptr;
};

// The faces an object may be asked for, as the original interfaces were queried.
enum class Face { kDocument, kDocument3, kWindow, kElement, kInputElement, kAnchorElement };

class Dispatch : public Counted {
 public:
  // Fills `out` with an object of the asked face (the class whose kFace equals `face`), or
  // answers kNoInterface.
  virtual Status QueryFace(Face face, Ref<Dispatch>& out) = 0;
};

// Typed query: `Query(obj, element)` asks `obj` for the face of `element`'s type.
template <typename T>
Status Query(Dispatch* object, Ref<T>& out) {
  out.Reset();
  if (!object) return kFailed;
  Ref<Dispatch> face;
  Status s = object->QueryFace(T::kFace, face);
  if (Failed(s)) return s;
  if (!face) return kNoInterface;
  out = Ref<T>::Adopt(static_cast<T*>(face.Detach()));
  return kOk;
}

class Document;
class Window;

class Element : public Dispatch {
 public:
  static constexpr Face kFace = Face::kElement;
  virtual Status get_className(WideText& out) = 0;
  virtual Status get_innerHTML(WideText& out) = 0;
  virtual Status get_outerHTML(WideText& out) = 0;
  virtual Status get_outerText(WideText& out) = 0;
  virtual Status click() = 0;
};

class InputElement : public Dispatch {
 public:
  static constexpr Face kFace = Face::kInputElement;
  virtual Status put_value(const WideText& value) = 0;
  virtual Status get_value(WideText& out) = 0;
};

class AnchorElement : public Dispatch {
 public:
  static constexpr Face kFace = Face::kAnchorElement;
  virtual Status put_target(const WideText& target) = 0;
};

class ElementCollection : public Dispatch {
 public:
  virtual Status get_length(long& out) = 0;
  // The first element whose id or name equals `name` (the original's item(name, "0")).
  virtual Status item(const WideText& name, Ref<Dispatch>& out) = 0;
  // The element at `index`, counting from 0 (the original's item(i, 0) and item(i, empty)).
  virtual Status item(long index, Ref<Dispatch>& out) = 0;
};

class FramesCollection : public Dispatch {
 public:
  virtual Status get_length(long& out) = 0;
  // The window of frame `index`.
  virtual Status item(long index, Ref<Dispatch>& out) = 0;
};

class Window : public Dispatch {
 public:
  static constexpr Face kFace = Face::kWindow;
  virtual Status get_document(Ref<Document>& out) = 0;
  // Runs `script` in the page's own script world of this window. Fails when the script throws.
  virtual Status execScript(const WideText& script, const WideText& language) = 0;
};

class Document : public Dispatch {
 public:
  static constexpr Face kFace = Face::kDocument;
  virtual Status get_all(Ref<ElementCollection>& out) = 0;
  virtual Status get_links(Ref<ElementCollection>& out) = 0;
  virtual Status get_frames(Ref<FramesCollection>& out) = 0;
  virtual Status get_URL(WideText& out) = 0;
  virtual Status get_parentWindow(Ref<Window>& out) = 0;
};

// The document's second face: look-up by id alone.
class Document3 : public Dispatch {
 public:
  static constexpr Face kFace = Face::kDocument3;
  virtual Status getElementById(const WideText& id, Ref<Element>& out) = 0;
};

}  // namespace larkwend::dom
