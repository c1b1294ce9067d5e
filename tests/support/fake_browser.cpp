// SPDX-License-Identifier: GPL-3.0-or-later
#include "fake_browser.h"

#include <algorithm>

namespace larkwend::fake {
namespace {

using dom::Face;
using dom::Ref;
using dom::Status;
using dom::WideText;

// Reference counting shared by every fake object: counted in the host while alive.
template <typename Base>
class Counted : public Base {
 public:
  explicit Counted(Host& host, bool counted = true) : host_(host), counted_(counted) {
    if (counted_) host_.Count(1);
  }
  void AddRef() override {
    ++refs_;
    if (counted_) host_.Count(1);
  }
  void Release() override {
    if (counted_) host_.Count(-1);
    if (--refs_ == 0) delete this;
  }

 protected:
  Host& host() const { return host_; }
  // Asks the host whether the call fails or yields null; fills nothing itself.
  Status Enter(const char* call) const { return host_.Enter(call); }

 private:
  Host& host_;
  bool counted_;
  long refs_ = 1;
};

template <typename T, typename... Args>
Ref<dom::Dispatch> Make(Args&&... args) {
  return Ref<dom::Dispatch>::Adopt(new T(std::forward<Args>(args)...));
}

template <typename T, typename Out, typename... Args>
Status Give(Status entered, Ref<Out>& out, Args&&... args) {
  out.Reset();
  if (entered == kNullWanted) return dom::kOk;  // succeeded, nothing there
  if (dom::Failed(entered)) return entered;
  out = Ref<Out>::Adopt(new T(std::forward<Args>(args)...));
  return dom::kOk;
}

Status GiveText(Status entered, WideText& out, const WideText& value) {
  if (dom::Failed(entered)) return entered;
  out = entered == kNullWanted ? WideText() : value;
  return dom::kOk;
}

std::string BuildOuterHtml(const Element& e) {
  std::string html = "<" + e.tag;
  if (!e.id.empty()) html += " id=\"" + e.id + "\"";
  if (!e.href.empty()) html += " href=\"" + e.href + "\"";
  html += ">" + e.innerHTML.value_or("") + "</" + e.tag + ">";
  return html;
}

class IdentityObject : public Counted<dom::Dispatch> {
 public:
  using Counted::Counted;
  Status QueryFace(Face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    return dom::kNoInterface;
  }
};

Status QueryElementFace(Host& host, const ElementPtr& e, Face face, Ref<dom::Dispatch>& out);

class ElementObject : public Counted<dom::Element> {
 public:
  ElementObject(Host& host, ElementPtr e) : Counted(host), e_(std::move(e)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    return QueryElementFace(host(), e_, face, out);
  }
  Status get_className(WideText& out) override {
    return GiveText(Enter("Element.get_className"), out, e_->className);
  }
  Status get_innerHTML(WideText& out) override {
    return GiveText(Enter("Element.get_innerHTML"), out, e_->innerHTML);
  }
  Status get_outerHTML(WideText& out) override {
    WideText html = e_->outerHTML ? e_->outerHTML : WideText(BuildOuterHtml(*e_));
    return GiveText(Enter("Element.get_outerHTML"), out, html);
  }
  Status get_outerText(WideText& out) override {
    return GiveText(Enter("Element.get_outerText"), out, e_->outerText);
  }
  Status click() override {
    Status s = Enter("Element.click");
    if (dom::Failed(s)) return s;
    ++e_->clicks;
    if (e_->onClick) e_->onClick();
    return dom::kOk;
  }

 private:
  ElementPtr e_;
};

class InputObject : public Counted<dom::InputElement> {
 public:
  InputObject(Host& host, ElementPtr e) : Counted(host), e_(std::move(e)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    return QueryElementFace(host(), e_, face, out);
  }
  Status put_value(const WideText& value) override {
    Status s = Enter("Input.put_value");
    if (dom::Failed(s)) return s;
    e_->value = value.value_or("");
    return dom::kOk;
  }
  Status get_value(WideText& out) override {
    return GiveText(Enter("Input.get_value"), out, e_->value);
  }

 private:
  ElementPtr e_;
};

class AnchorObject : public Counted<dom::AnchorElement> {
 public:
  AnchorObject(Host& host, ElementPtr e) : Counted(host), e_(std::move(e)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    return QueryElementFace(host(), e_, face, out);
  }
  Status put_target(const WideText& target) override {
    Status s = Enter("Anchor.put_target");
    if (dom::Failed(s)) return s;
    e_->target = target;
    return dom::kOk;
  }

 private:
  ElementPtr e_;
};

Status QueryElementFace(Host& host, const ElementPtr& e, Face face, Ref<dom::Dispatch>& out) {
  out.Reset();
  switch (face) {
    case Face::kElement:
      if (Status s = host.Enter("Query.Element"); dom::Failed(s)) return s;
      out = Make<ElementObject>(host, e);
      return dom::kOk;
    case Face::kInputElement:
      if (Status s = host.Enter("Query.InputElement"); dom::Failed(s)) return s;
      if (!e->IsInput()) return dom::kNoInterface;
      out = Make<InputObject>(host, e);
      return dom::kOk;
    case Face::kAnchorElement:
      if (Status s = host.Enter("Query.AnchorElement"); dom::Failed(s)) return s;
      if (e->tag != "a") return dom::kNoInterface;
      out = Make<AnchorObject>(host, e);
      return dom::kOk;
    default:
      return dom::kNoInterface;
  }
}

class CollectionObject : public Counted<dom::ElementCollection> {
 public:
  CollectionObject(Host& host, std::vector<ElementPtr> items)
      : Counted(host), items_(std::move(items)) {}
  Status QueryFace(Face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    return dom::kNoInterface;
  }
  Status get_length(long& out) override {
    Status s = Enter("Collection.get_length");
    if (dom::Failed(s)) return s;
    out = static_cast<long>(items_.size());
    return dom::kOk;
  }
  Status item(const WideText& name, Ref<dom::Dispatch>& out) override {
    Status s = Enter("Collection.item");
    out.Reset();
    if (dom::Failed(s) || s == kNullWanted || !name) return dom::Failed(s) ? s : dom::kOk;
    for (const ElementPtr& e : items_)
      if (e->id == *name || e->name == *name) {
        out = Make<ElementObject>(host(), e);
        break;
      }
    return dom::kOk;
  }
  Status item(long index, Ref<dom::Dispatch>& out) override {
    Status s = Enter("Collection.item");
    out.Reset();
    if (dom::Failed(s)) return s;
    if (s == kNullWanted || index < 0 || index >= static_cast<long>(items_.size())) return dom::kOk;
    out = Make<ElementObject>(host(), items_[static_cast<std::size_t>(index)]);
    return dom::kOk;
  }

 private:
  std::vector<ElementPtr> items_;
};

class DocumentObject;

class WindowObject : public Counted<dom::Window> {
 public:
  WindowObject(Host& host, PagePtr page) : Counted(host), page_(std::move(page)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override;
  Status get_document(Ref<dom::Document>& out) override;
  Status execScript(const WideText& script, const WideText&) override {
    Status s = Enter("Window.execScript");
    if (dom::Failed(s)) return s;
    page_->scriptsRun.push_back(script.value_or(""));
    return page_->definesPopupScript ? dom::kOk : dom::kFailed;
  }

 private:
  PagePtr page_;
};

class FramesObject : public Counted<dom::FramesCollection> {
 public:
  FramesObject(Host& host, PagePtr page) : Counted(host), page_(std::move(page)) {}
  Status QueryFace(Face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    return dom::kNoInterface;
  }
  Status get_length(long& out) override {
    Status s = Enter("Frames.get_length");
    if (dom::Failed(s)) return s;
    out = static_cast<long>(page_->frames.size());
    return dom::kOk;
  }
  Status item(long index, Ref<dom::Dispatch>& out) override {
    Status s = Enter("Frames.item");
    out.Reset();
    if (dom::Failed(s)) return s;
    if (s == kNullWanted || index < 0 || index >= static_cast<long>(page_->frames.size()))
      return dom::kOk;
    out = Make<WindowObject>(host(), page_->frames[static_cast<std::size_t>(index)]);
    return dom::kOk;
  }

 private:
  PagePtr page_;
};

class Document3Object : public Counted<dom::Document3> {
 public:
  Document3Object(Host& host, PagePtr page) : Counted(host), page_(std::move(page)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override;
  Status getElementById(const WideText& id, Ref<dom::Element>& out) override {
    Status s = Enter("Document3.getElementById");
    out.Reset();
    if (dom::Failed(s)) return s;
    if (s == kNullWanted || !id) return dom::kOk;
    if (ElementPtr e = page_->FindById(*id))
      out = Ref<dom::Element>::Adopt(new ElementObject(host(), e));
    return dom::kOk;
  }

 private:
  PagePtr page_;
};

class DocumentObject : public Counted<dom::Document> {
 public:
  DocumentObject(Host& host, PagePtr page) : Counted(host), page_(std::move(page)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    if (face == Face::kDocument) {
      out = Make<DocumentObject>(host(), page_);
      return dom::kOk;
    }
    if (face != Face::kDocument3) return dom::kNoInterface;
    if (Status s = Enter("Query.Document3"); dom::Failed(s)) return s;
    out = Make<Document3Object>(host(), page_);
    return dom::kOk;
  }
  Status get_all(Ref<dom::ElementCollection>& out) override {
    return Give<CollectionObject>(Enter("Document.get_all"), out, host(), page_->elements);
  }
  Status get_links(Ref<dom::ElementCollection>& out) override {
    std::vector<ElementPtr> links;
    for (const ElementPtr& e : page_->elements)
      if (e->IsLink()) links.push_back(e);
    return Give<CollectionObject>(Enter("Document.get_links"), out, host(), std::move(links));
  }
  Status get_frames(Ref<dom::FramesCollection>& out) override {
    return Give<FramesObject>(Enter("Document.get_frames"), out, host(), page_);
  }
  Status get_URL(WideText& out) override {
    return GiveText(Enter("Document.get_URL"), out, page_->url);
  }
  Status get_parentWindow(Ref<dom::Window>& out) override {
    return Give<WindowObject>(Enter("Document.get_parentWindow"), out, host(), page_);
  }

 private:
  PagePtr page_;
};

Status Document3Object::QueryFace(Face face, Ref<dom::Dispatch>& out) {
  out.Reset();
  if (face != Face::kDocument) return dom::kNoInterface;
  out = Make<DocumentObject>(host(), page_);
  return dom::kOk;
}

Status WindowObject::QueryFace(Face face, Ref<dom::Dispatch>& out) {
  out.Reset();
  if (face != Face::kWindow) return dom::kNoInterface;
  if (Status s = Enter("Query.Window"); dom::Failed(s)) return s;
  out = Make<WindowObject>(host(), page_);
  return dom::kOk;
}

Status WindowObject::get_document(Ref<dom::Document>& out) {
  return Give<DocumentObject>(Enter("Window.get_document"), out, host(), page_);
}

}  // namespace

// ---- pages -----------------------------------------------------------------------------------

PagePtr MakePage(const std::string& url) {
  auto page = std::make_shared<Page>();
  page->url = url;
  return page;
}

ElementPtr Page::Add(Element e) {
  elements.push_back(std::make_shared<Element>(std::move(e)));
  return elements.back();
}

ElementPtr Page::Input(const std::string& id, const std::string& name, const std::string& value) {
  Element e;
  e.tag = "input";
  e.id = id;
  e.name = name;
  e.value = value;
  return Add(std::move(e));
}

ElementPtr Page::Anchor(const std::string& href, const std::string& target,
                        const std::string& inner) {
  Element e;
  e.tag = "a";
  e.href = href;
  e.target = target;
  e.innerHTML = inner;
  return Add(std::move(e));
}

ElementPtr Page::Area(const std::string& href, const std::string& target) {
  Element e;
  e.tag = "area";
  e.href = href;
  e.target = target;
  return Add(std::move(e));
}

ElementPtr Page::Div(const std::string& className, const std::string& inner) {
  Element e;
  e.className = className;
  e.innerHTML = inner;
  return Add(std::move(e));
}

ElementPtr Page::Button(const std::string& id) {
  Element e;
  e.tag = "button";
  e.id = id;
  return Add(std::move(e));
}

ElementPtr Page::WithId(const std::string& id, const std::string& outerText) {
  Element e;
  e.tag = "span";
  e.id = id;
  e.outerText = outerText;
  return Add(std::move(e));
}

std::shared_ptr<Page> Page::Frame(const std::string& frameUrl) {
  frames.push_back(MakePage(frameUrl));
  return frames.back();
}

ElementPtr Page::FindById(const std::string& id) const {
  for (const ElementPtr& e : elements)
    if (e->id == id) return e;
  return nullptr;
}

// ---- host ------------------------------------------------------------------------------------

dom::Status Host::Enter(const std::string& call) {
  calls_.push_back(call);
  int seen = ++seen_[call];
  if (auto it = failures_.find(call); it != failures_.end())
    if (it->second.first == 0 || it->second.first == seen) return it->second.second;
  if (nulls_.count(call)) return kNullWanted;
  return dom::kOk;
}

// ---- control ---------------------------------------------------------------------------------

Control::Control(Host& host)
    : host_(host), identity_(new IdentityObject(host, /*counted=*/false)) {}

Control::~Control() {
  identity_->Release();
}

dom::Ref<dom::Dispatch> Control::ControlIdentity() {
  return dom::Ref<dom::Dispatch>(identity_);
}

void Control::Navigate(const dom::WideText& url) {
  navigations_.push_back(url.value_or(""));
  kinds_.push_back(true);
  pending_.push_back(url.value_or(""));
}

void Control::Navigate2(const dom::WideText& url) {
  navigations_.push_back(url.value_or(""));
  kinds_.push_back(false);
  pending_.push_back(url.value_or(""));
}

dom::Status Control::get_Document(dom::Ref<dom::Document>& out) {
  dom::Status s = host_.Enter("Control.get_Document");
  out.Reset();
  if (dom::Failed(s)) return s;
  if (s == kNullWanted || !page_) return dom::kOk;
  out = dom::Ref<dom::Document>::Adopt(new DocumentObject(host_, page_));
  return dom::kOk;
}

dom::Status Control::get_LocationURL(dom::WideText& out) {
  return GiveText(host_.Enter("Control.get_LocationURL"), out,
                  page_ ? WideText(page_->url) : WideText(std::string()));
}

dom::Status Control::get_ReadyState(long& out) {
  dom::Status s = host_.Enter("Control.get_ReadyState");
  if (dom::Failed(s)) return s;
  out = readyState_;
  return dom::kOk;
}

void Control::Load(const PagePtr& page) {
  bool cancel = false;
  if (sink_) sink_->TopLevelNavigationAsked(page->url, true);
  if (sink_) sink_->BeforeNavigate2(identity_, page->url, cancel);
  if (cancel) return;
  page_ = page;
  if (!sink_) return;
  sink_->LoadStarted(page->url, true);
  for (const PagePtr& frame : page->frames) {
    IdentityObject* frameIdentity = new IdentityObject(host_, /*counted=*/false);
    sink_->DocumentComplete(frameIdentity, frame->url);
    frameIdentity->Release();
  }
  sink_->DocumentComplete(identity_, page->url);
  sink_->LoadFinished(page->url, true);
}

void Control::LoadUrl(const std::string& url) {
  Load(MakePage(url));
}

bool Control::RaiseFrameBeforeNavigate(const std::string& url) {
  bool cancel = false;
  IdentityObject* frameIdentity = new IdentityObject(host_, /*counted=*/false);
  if (sink_) sink_->BeforeNavigate2(frameIdentity, url, cancel);
  frameIdentity->Release();
  return !cancel;
}

void Control::Reject(const CertificateRejection& rejection) {
  rejected_.push_back(rejection.host + " " + rejection.fingerprint);
  if (sink_) sink_->CertificateRejected(rejection);
}

bool Control::TrustCertificate(const std::string& host, const std::string& fingerprint) {
  const std::string pair = host + " " + fingerprint;
  if (std::find(rejected_.begin(), rejected_.end(), pair) == rejected_.end()) return false;
  trusted_.push_back(pair);
  return true;
}

void Control::Pump() {
  while (!pending_.empty()) {
    std::string url = pending_.front();
    pending_.erase(pending_.begin());
    LoadUrl(url);
  }
}

}  // namespace larkwend::fake
