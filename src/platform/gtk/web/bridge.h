// SPDX-License-Identifier: GPL-3.0-or-later
// The synchronous channel to the script that serves the document model inside the page.
//
// The script lives in an isolated script world of every page (the page's own scripts can neither
// see nor change it) and keeps a table of handles to documents, windows and element snapshots.
// Every document-model call is one evaluation in that world, waited for in a nested main-loop
// iteration: the program sees the call as synchronous, as it was on the platform it was written
// for. Arguments travel as one JSON text handed to the script as a function argument, never
// spliced into script source. Releasing a handle costs no round trip: releases ride along with
// the next call, and so do writes whose outcome nobody waits for.
//
// A page that does not answer must never hold the window: the first call that gets no answer
// within a short bound marks the page as not answering, and every later call fails at once until
// the late answer arrives, or a new page or web process takes over (Reset).
#pragma once

#include <webkit2/webkit2.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/dom.h"
#include "platform/gtk/common/gobject_ptr.h"

namespace larkwend::gtk {

// Writes the fields of a request object as JSON.
class JsonFields {
 public:
  JsonFields& Add(std::string_view key, std::string_view text);
  JsonFields& AddNullable(std::string_view key, const dom::WideText& text);  // null stays null
  JsonFields& Add(std::string_view key, long number);
  JsonFields& Add(std::string_view key, const std::vector<long>& numbers);
  // `"key":value,...` without braces; empty when nothing was added.
  const std::string& text() const { return text_; }

 private:
  void Key(std::string_view key);
  std::string text_;
};

// Reads a JSON array of strings and nulls, as JSON.stringify writes it.
bool ParseJsonTexts(std::string_view json, std::vector<dom::WideText>& out);

// `text` as a JSON string literal. Invalid UTF-8 becomes U+FFFD; everything else passes unchanged.
std::string JsonString(std::string_view text);

// The script's answer: an object with a status `s` and named fields.
class Reply {
 public:
  Reply() = default;  // a failed call
  explicit Reply(GObjectPtr<JSCValue> value) : value_(std::move(value)) {}
  // A call that was sent and never answered within its wait.
  static Reply Unanswered() {
    Reply reply;
    reply.unanswered_ = true;
    return reply;
  }

  // dom::kUnanswered for a call given up on while it waited.
  dom::Status status() const;
  bool ok() const { return dom::Succeeded(status()); }
  long Number(const char* key) const;         // 0 when absent
  dom::WideText Text(const char* key) const;  // null when absent or null
  // A list of texts sent as one JSON text (null entries stay null); false when `key` holds none.
  bool Texts(const char* key, std::vector<dom::WideText>& out) const;
  // The object in field `key`, as an answer of its own (failed when there is none).
  Reply Nested(const char* key) const { return Reply(Field(key)); }
  // An array of numbers; false when `key` holds no array.
  bool Numbers(const char* key, std::vector<long>& out) const;

 private:
  GObjectPtr<JSCValue> Field(const char* key) const;
  GObjectPtr<JSCValue> value_;
  bool unanswered_ = false;
};

class Bridge : public std::enable_shared_from_this<Bridge> {
 public:
  // The script world the bridge lives in; also names its message channel.
  static constexpr const char* kWorldName = "larkwend-bridge";

  explicit Bridge(WebKitWebView* view) : view_(view) {}
  ~Bridge();
  Bridge(const Bridge&) = delete;
  Bridge& operator=(const Bridge&) = delete;

  // The view is going away: every later call fails.
  void Detach();

  // One synchronous round trip: `op` on the page whose handle table is `token` (empty for the
  // few operations that work on whatever page is current). Fails when the page has gone.
  Reply Call(std::string_view op, const std::string& token, const JsonFields& fields = {});

  // Gives handle `id` of page `token` back; sent with the next call, never on its own.
  void Release(const std::string& token, long id);

  // Sets the target of element `index` of collection `handle` on page `token`. Sent with the next
  // call, or from the main loop once the handler that asked has returned: a page's worth of
  // writes costs one round trip. Its outcome is not reported.
  void QueueTargetWrite(const std::string& token, long handle, long index,
                        const dom::WideText& value);

  // True while a call that acts on the page (a click, a script run) waits: what the page does
  // meanwhile may be its doing.
  bool ActingCallInProgress() const { return actingCalls_ > 0; }

  // False from the moment a call went unanswered past the bound until the page answers again.
  bool answering() const { return abandoned_.empty(); }
  // Told whenever answering() changes.
  void SetAnsweringObserver(std::function<void(bool answering)> observer) {
    answeringObserver_ = std::move(observer);
  }
  // A new web process or page took over: whatever went unanswered is forgotten.
  void Reset();

  // Bumped whenever the page may have changed under cached values (a navigation, a call that
  // acts on the page); a value cached under an older generation is read again.
  std::uint64_t generation() const { return generation_; }
  void Touch() { ++generation_; }

 private:
  friend void OnLateAnswer(Bridge& bridge, std::uint64_t number);

  // Waits at most `boundUs` for the answer (longer while a script message box stands).
  // `answered` tells a call given up on from one that failed.
  GObjectPtr<JSCValue> Evaluate(const char* body, const std::string& request, gint64 boundUs,
                                bool* answered = nullptr);
  void SetAnswering(bool before);
  void FlushWrites();

  WebKitWebView* view_;
  std::string pageToken_;  // the page the queued releases belong to
  std::vector<long> releases_;
  std::string writesToken_;  // the page the queued writes belong to
  std::string writes_;       // JSON array items [handle, index, value], comma-separated
  guint writesSource_ = 0;
  std::uint64_t generation_ = 1;
  int actingCalls_ = 0;
  std::set<std::uint64_t> abandoned_;  // evaluations given up on, still without an answer
  std::function<void(bool)> answeringObserver_;
};

}  // namespace larkwend::gtk
