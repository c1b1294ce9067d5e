// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/bridge_dom.h"

#include <array>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/gtk/web/bridge_protocol.h"

namespace larkwend::gtk {
namespace {

using dom::Face;
using dom::Ref;
using dom::Status;
using dom::WideText;
namespace field = protocol::field;
namespace op = protocol::op;
namespace property = protocol::property;

// One entry of the page's handle table, given back when the last object using it goes.
class Handle {
 public:
  Handle(std::shared_ptr<Bridge> bridge, std::string token, long id)
      : bridge_(std::move(bridge)), token_(std::move(token)), id_(id) {}
  ~Handle() { bridge_->Release(token_, id_); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  Reply Call(std::string_view op, JsonFields fields = {}) const {
    fields.Add(field::kHandle, id_);
    return bridge_->Call(op, token_, fields);
  }
  // A new handle of the same page, from a reply that created one; null when the reply has none.
  std::shared_ptr<const Handle> From(const Reply& reply) const {
    return Adopt(reply.Number(field::kHandle));
  }
  // Handle `id` of the same page, created by a reply; null for 0.
  std::shared_ptr<const Handle> Adopt(long id) const {
    if (id <= 0) return nullptr;
    return std::make_shared<const Handle>(bridge_, token_, id);
  }
  Bridge& bridge() const { return *bridge_; }
  void QueueTargetWrite(long index, const WideText& value) const {
    bridge_->QueueTargetWrite(token_, id_, index, value);
  }

 private:
  std::shared_ptr<Bridge> bridge_;
  std::string token_;
  long id_;
};
using HandlePtr = std::shared_ptr<const Handle>;

// Intrusive counting for every object handed out.
template <typename Base>
class Counted : public Base {
 public:
  void AddRef() override { ++refs_; }
  void Release() override {
    if (--refs_ == 0) delete this;
  }

 private:
  long refs_ = 1;
};

template <typename T, typename Out, typename... Args>
Status Give(Ref<Out>& out, Args&&... args) {
  out = Ref<Out>::Adopt(new T(std::forward<Args>(args)...));
  return dom::kOk;
}

// Answers a query for `face` with this very object when it has it.
template <typename Self>
Status SelfFace(Self* self, Face face, Ref<dom::Dispatch>& out) {
  out.Reset();
  if (face != Self::kFace) return dom::kNoInterface;
  out = Ref<dom::Dispatch>(self);
  return dom::kOk;
}

class IdentityObject final : public Counted<dom::Dispatch> {
 public:
  Status QueryFace(Face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    return dom::kNoInterface;
  }
};

Status GiveText(const Reply& reply, WideText& out) {
  if (!reply.ok()) return dom::kFailed;
  out = reply.Text(field::kValue);
  return dom::kOk;
}

// ---- element snapshots ----------------------------------------------------------------------

enum Property { kClassName, kInnerHtml, kOuterHtml, kOuterText, kPropertyCount };
constexpr std::array<const char*, kPropertyCount> kPropertyNames = {
    property::kClassName, property::kInnerHtml, property::kOuterHtml, property::kOuterText};

class Snapshot {
 public:
  Snapshot(HandlePtr handle, std::vector<std::string> tags)
      : handle_(std::move(handle)), tags_(std::move(tags)) {}

  const Handle& handle() const { return *handle_; }
  long size() const { return static_cast<long>(tags_.size()); }
  const std::string& tag(long index) const { return tags_[static_cast<std::size_t>(index)]; }

  Status Read(Property p, long index, WideText& out) {
    Cached& cached = cache_[p];
    Bridge& bridge = handle_->bridge();
    if (cached.generation != bridge.generation()) {
      // A read that failed stays failed until the page may have changed: a scan that goes on to
      // the next element must not ask again for every one of them.
      cached.values.reset();
      cached.generation = bridge.generation();
      Reply reply =
          handle_->Call(op::kProps, JsonFields().Add(field::kProperty, kPropertyNames[p]));
      std::vector<WideText> values;
      if (reply.ok() && reply.Texts(field::kJson, values) && values.size() == tags_.size())
        cached.values = std::move(values);
    }
    if (!cached.values) return dom::kFailed;
    out = (*cached.values)[static_cast<std::size_t>(index)];
    return dom::kOk;
  }

  void QueueTargetWrite(long index, const WideText& value) {
    handle_->QueueTargetWrite(index, value);
  }

  // A call on element `index`; one that acts on the page invalidates what was read before.
  Reply Call(std::string_view op, long index, JsonFields fields = {}, bool acts = false) {
    fields.Add(field::kIndex, index);
    Reply reply = handle_->Call(op, std::move(fields));
    if (acts) handle_->bridge().Touch();
    return reply;
  }

 private:
  struct Cached {
    std::optional<std::vector<WideText>> values;
    std::uint64_t generation = 0;
  };
  HandlePtr handle_;
  std::vector<std::string> tags_;
  std::array<Cached, kPropertyCount> cache_;
};
using SnapshotPtr = std::shared_ptr<Snapshot>;

// Builds a snapshot from a reply carrying `h`, `n` and the tags `g`; null when it has no handle.
SnapshotPtr MakeSnapshot(const Handle& from, const Reply& reply) {
  HandlePtr handle = from.From(reply);
  if (!handle) return nullptr;
  std::vector<std::string> tags;
  long n = reply.Number(field::kCount);
  std::string joined = reply.Text(field::kTags).value_or("");
  std::size_t start = 0;
  for (long i = 0; i < n; ++i) {
    std::size_t end = joined.find('\n', start);
    if (end == std::string::npos) end = joined.size();
    tags.push_back(joined.substr(start, end - start));
    start = end + 1;
  }
  return std::make_shared<Snapshot>(std::move(handle), std::move(tags));
}

// The faces of one element of a snapshot share the snapshot and the position.
class ElementRef {
 public:
  ElementRef(SnapshotPtr snapshot, long index) : snapshot_(std::move(snapshot)), index_(index) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) const;
  Snapshot& snapshot() const { return *snapshot_; }
  long index() const { return index_; }

 private:
  SnapshotPtr snapshot_;
  long index_;
};

// What every face of an element has: its place in the snapshot and the other faces.
template <typename Base>
class ElementFace : public Counted<Base> {
 public:
  explicit ElementFace(ElementRef ref) : ref_(std::move(ref)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    return ref_.QueryFace(face, out);
  }

 protected:
  // A call that acts on the page: what was read before may have changed.
  Status Act(std::string_view op, JsonFields fields = {}) {
    const Status status = ref_.snapshot().Call(op, ref_.index(), std::move(fields), true).status();
    return dom::Succeeded(status)       ? dom::kOk
           : status == dom::kUnanswered ? dom::kUnanswered
                                        : dom::kFailed;
  }
  ElementRef ref_;
};

class ElementObject : public ElementFace<dom::Element> {
 public:
  using ElementFace::ElementFace;
  Status get_className(WideText& out) override { return Read(kClassName, out); }
  Status get_innerHTML(WideText& out) override { return Read(kInnerHtml, out); }
  Status get_outerHTML(WideText& out) override { return Read(kOuterHtml, out); }
  Status get_outerText(WideText& out) override { return Read(kOuterText, out); }
  Status click() override { return Act(op::kClick); }

 private:
  Status Read(Property p, WideText& out) { return ref_.snapshot().Read(p, ref_.index(), out); }
};

class InputObject : public ElementFace<dom::InputElement> {
 public:
  using ElementFace::ElementFace;
  Status put_value(const WideText& value) override {
    return Act(op::kSetValue, JsonFields().AddNullable(field::kValue, value));
  }
  Status get_value(WideText& out) override {
    return GiveText(ref_.snapshot().Call(op::kValue, ref_.index()), out);
  }
};

class AnchorObject : public ElementFace<dom::AnchorElement> {
 public:
  using ElementFace::ElementFace;
  // Goes with the next call or once the handler has returned: pointing every link of a page
  // somewhere costs one round trip, not one per link.
  Status put_target(const WideText& target) override {
    ref_.snapshot().QueueTargetWrite(ref_.index(), target);
    return dom::kOk;
  }
};

Status ElementRef::QueryFace(Face face, Ref<dom::Dispatch>& out) const {
  out.Reset();
  // HTML elements carry their bare tag; elements of other namespaces a prefixed one.
  const std::string& tag = snapshot_->tag(index_);
  switch (face) {
    case Face::kElement:
      return Give<ElementObject>(out, *this);
    case Face::kInputElement:
      if (tag != "input") return dom::kNoInterface;
      return Give<InputObject>(out, *this);
    case Face::kAnchorElement:
      if (tag != "a") return dom::kNoInterface;
      return Give<AnchorObject>(out, *this);
    default:
      return dom::kNoInterface;
  }
}

class CollectionObject : public Counted<dom::ElementCollection> {
 public:
  explicit CollectionObject(SnapshotPtr snapshot) : snapshot_(std::move(snapshot)) {}
  Status QueryFace(Face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    return dom::kNoInterface;
  }
  Status get_length(long& out) override {
    out = snapshot_->size();
    return dom::kOk;
  }
  Status item(const WideText& name, Ref<dom::Dispatch>& out) override {
    out.Reset();
    if (!name) return dom::kOk;
    Reply reply = snapshot_->handle().Call(op::kItem, JsonFields().Add(field::kName, *name));
    if (!reply.ok()) return dom::kFailed;
    long index = reply.Number(field::kIndex);
    if (index < 0 || index >= snapshot_->size()) return dom::kOk;
    return Give<ElementObject>(out, ElementRef(snapshot_, index));
  }
  Status item(long index, Ref<dom::Dispatch>& out) override {
    out.Reset();
    if (index < 0 || index >= snapshot_->size()) return dom::kOk;
    return Give<ElementObject>(out, ElementRef(snapshot_, index));
  }

 private:
  SnapshotPtr snapshot_;
};

// ---- documents and windows ------------------------------------------------------------------

// What a round trip read ahead about another object: answered once, and only while nothing on
// the page may have changed since (the bridge's generation is the same); otherwise the page is
// asked again.
template <typename T>
class ReadAhead {
 public:
  ReadAhead() = default;
  ReadAhead(T value, const Bridge& bridge)
      : value_(std::move(value)), generation_(bridge.generation()) {}
  std::optional<T> Take(const Bridge& bridge) {
    std::optional<T> value = std::exchange(value_, std::nullopt);
    if (value && generation_ != bridge.generation()) value.reset();
    return value;
  }

 private:
  std::optional<T> value_;
  std::uint64_t generation_ = 0;
};

// A frame's document and its address; a null handle when the document could not be reached.
struct FrameDocument {
  HandlePtr document;
  WideText url;
};

class WindowObject : public Counted<dom::Window> {
 public:
  explicit WindowObject(HandlePtr handle, ReadAhead<FrameDocument> document = {})
      : handle_(std::move(handle)), document_(std::move(document)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    return SelfFace(this, face, out);
  }
  Status get_document(Ref<dom::Document>& out) override;
  Status execScript(const WideText& script, const WideText& language) override {
    // Only script the page's engine runs; the original control also knew VBScript, which the
    // program never uses.
    if (language) {
      std::string lower(*language);
      for (char& c : lower) c = static_cast<char>(g_ascii_tolower(c));
      if (lower != "javascript" && lower != "jscript") return dom::kFailed;
    }
    Reply reply = handle_->Call(op::kExec, JsonFields().Add(field::kCode, script.value_or("")));
    handle_->bridge().Touch();
    return reply.ok() ? dom::kOk : dom::kFailed;
  }

 private:
  HandlePtr handle_;
  ReadAhead<FrameDocument> document_;
};

struct Frame {
  HandlePtr window;
  ReadAhead<FrameDocument> document;
};

class FramesObject : public Counted<dom::FramesCollection> {
 public:
  FramesObject(HandlePtr window, long length, std::vector<ReadAhead<Frame>> frames)
      : window_(std::move(window)), length_(length), frames_(std::move(frames)) {}
  Status QueryFace(Face, Ref<dom::Dispatch>& out) override {
    out.Reset();
    return dom::kNoInterface;
  }
  Status get_length(long& out) override {
    out = length_;
    return dom::kOk;
  }
  Status item(long index, Ref<dom::Dispatch>& out) override {
    out.Reset();
    if (index >= 0 && index < static_cast<long>(frames_.size())) {
      if (auto frame = frames_[static_cast<std::size_t>(index)].Take(window_->bridge()))
        return Give<WindowObject>(out, std::move(frame->window), std::move(frame->document));
    }
    Reply reply = window_->Call(op::kFrame, JsonFields().Add(field::kIndex, index));
    if (!reply.ok()) return dom::kFailed;
    if (HandlePtr frame = window_->From(reply)) return Give<WindowObject>(out, std::move(frame));
    return dom::kOk;
  }

 private:
  HandlePtr window_;
  long length_;
  std::vector<ReadAhead<Frame>> frames_;
};

class Document3Object : public Counted<dom::Document3> {
 public:
  explicit Document3Object(HandlePtr handle) : handle_(std::move(handle)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override;
  Status getElementById(const WideText& id, Ref<dom::Element>& out) override {
    out.Reset();
    if (!id) return dom::kOk;
    Reply reply = handle_->Call(op::kById, JsonFields().Add(field::kId, *id));
    if (!reply.ok()) return dom::kFailed;
    SnapshotPtr found = MakeSnapshot(*handle_, reply);
    if (!found || found->size() != 1) return dom::kOk;
    return Give<ElementObject>(out, ElementRef(std::move(found), 0));
  }

 private:
  HandlePtr handle_;
};

// A reply of the frames operation: the window the frames belong to and what was read of each.
struct FramesRead {
  HandlePtr window;  // null: the reply had none
  long length = 0;
  std::vector<ReadAhead<Frame>> frames;
};

FramesRead ReadFrames(const Handle& document, const Reply& reply) {
  FramesRead read{document.From(reply), reply.Number(field::kCount), {}};
  // Every handle the reply created is taken, so that those never used are given back.
  std::vector<long> windowIds, documentIds;
  std::vector<WideText> urls;
  reply.Numbers(field::kFrameWindows, windowIds);
  reply.Numbers(field::kFrameDocuments, documentIds);
  reply.Texts(field::kFrameAddresses, urls);
  std::vector<HandlePtr> windows, documents;
  for (long id : windowIds) windows.push_back(document.Adopt(id));
  for (long id : documentIds) documents.push_back(document.Adopt(id));
  if (windows.size() != documents.size() || windows.size() != urls.size()) return read;
  const Bridge& bridge = document.bridge();
  for (std::size_t i = 0; i < windows.size(); ++i) {
    ReadAhead<FrameDocument> frameDocument({documents[i], std::move(urls[i])}, bridge);
    read.frames.emplace_back(Frame{windows[i], std::move(frameDocument)}, bridge);
  }
  return read;
}

class DocumentObject : public Counted<dom::Document> {
 public:
  // `knownUrl`: the address read in the same round trip that produced the handle, answered once
  // by the first get_URL; every later read asks the page again.
  // `window`: the document's window, when the round trip that produced it read that too.
  explicit DocumentObject(HandlePtr handle, WideText knownUrl = std::nullopt,
                          ReadAhead<HandlePtr> window = {}, ReadAhead<FramesRead> frames = {})
      : handle_(std::move(handle)),
        knownUrl_(std::move(knownUrl)),
        window_(std::move(window)),
        frames_(std::move(frames)) {}
  Status QueryFace(Face face, Ref<dom::Dispatch>& out) override {
    if (face == Face::kDocument3) return Give<Document3Object>(out, handle_);
    return SelfFace(this, face, out);
  }
  Status get_all(Ref<dom::ElementCollection>& out) override { return Collection(op::kAll, out); }
  Status get_links(Ref<dom::ElementCollection>& out) override {
    return Collection(op::kLinks, out);
  }
  Status get_frames(Ref<dom::FramesCollection>& out) override;
  Status get_URL(WideText& out) override {
    if (knownUrl_) {
      out = std::exchange(knownUrl_, std::nullopt);
      return dom::kOk;
    }
    return GiveText(handle_->Call(op::kUrl), out);
  }
  Status get_parentWindow(Ref<dom::Window>& out) override {
    out.Reset();
    if (auto window = window_.Take(handle_->bridge())) return Give<WindowObject>(out, *window);
    Reply reply = handle_->Call(op::kWindow);
    HandlePtr window = reply.ok() ? handle_->From(reply) : nullptr;
    if (!window) return dom::kFailed;
    return Give<WindowObject>(out, std::move(window));
  }

 private:
  Status Collection(std::string_view op, Ref<dom::ElementCollection>& out) {
    out.Reset();
    Reply reply = handle_->Call(op);
    SnapshotPtr snapshot = reply.ok() ? MakeSnapshot(*handle_, reply) : nullptr;
    if (!snapshot) return dom::kFailed;
    return Give<CollectionObject>(out, std::move(snapshot));
  }

  HandlePtr handle_;
  WideText knownUrl_;
  ReadAhead<HandlePtr> window_;
  ReadAhead<FramesRead> frames_;
};

Status DocumentObject::get_frames(Ref<dom::FramesCollection>& out) {
  out.Reset();
  std::optional<FramesRead> read = frames_.Take(handle_->bridge());
  if (!read) {
    Reply reply = handle_->Call(op::kFrames);
    if (reply.ok()) read = ReadFrames(*handle_, reply);
  }
  if (!read || !read->window) return dom::kFailed;
  return Give<FramesObject>(out, std::move(read->window), read->length, std::move(read->frames));
}

Status Document3Object::QueryFace(Face face, Ref<dom::Dispatch>& out) {
  if (face == Face::kDocument) return Give<DocumentObject>(out, handle_);
  return SelfFace(this, face, out);
}

Status WindowObject::get_document(Ref<dom::Document>& out) {
  out.Reset();
  if (auto known = document_.Take(handle_->bridge())) {
    if (!known->document) return dom::kFailed;
    return Give<DocumentObject>(out, std::move(known->document), std::move(known->url),
                                ReadAhead<HandlePtr>(handle_, handle_->bridge()));
  }
  Reply reply = handle_->Call(op::kDocument);
  HandlePtr document = reply.ok() ? handle_->From(reply) : nullptr;
  if (!document) return dom::kFailed;
  return Give<DocumentObject>(out, std::move(document), reply.Text(field::kAddress));
}

}  // namespace

dom::Ref<dom::Dispatch> NewBrowserIdentity() {
  Ref<dom::Dispatch> identity;
  Give<IdentityObject>(identity);
  return identity;
}

dom::Status GetTopDocument(const std::shared_ptr<Bridge>& bridge, dom::Ref<dom::Document>& out) {
  return TopDocumentFrom(bridge, bridge->Call(op::kDoc, {}), out);
}

dom::Status TopDocumentFrom(const std::shared_ptr<Bridge>& bridge, const Reply& reply,
                            dom::Ref<dom::Document>& out) {
  out.Reset();
  dom::WideText token = reply.Text(field::kToken);
  long id = reply.Number(field::kHandle);
  if (!reply.ok() || !token || id <= 0) return dom::kFailed;
  auto handle = std::make_shared<const Handle>(bridge, *token, id);
  // The frames, when the reply brought them along too.
  ReadAhead<FramesRead> frames;
  if (Reply nested = reply.Nested(field::kFrames); nested.Number(field::kHandle) > 0)
    frames = ReadAhead<FramesRead>(ReadFrames(*handle, nested), *bridge);
  return Give<DocumentObject>(out, std::move(handle), std::nullopt, ReadAhead<HandlePtr>(),
                              std::move(frames));
}

}  // namespace larkwend::gtk
