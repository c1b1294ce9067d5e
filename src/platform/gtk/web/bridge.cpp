// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/bridge.h"

#include <cstdio>
#include <map>
#include <memory>
#include <utility>

#include "platform/diagnostics.h"
#include "platform/gtk/common/handler_gate.h"
#include "platform/gtk/web/bridge_protocol.h"
#include "platform/gtk/web/bridge_round_trips.h"
#include "platform/gtk/web/bridge_script.h"
#include "platform/gtk/web/script_dialog.h"
#include "platform/json_text.h"

namespace larkwend::gtk {
namespace {

std::uint64_t g_roundTrips = 0;

// The status the call body answers when the page has no bridge yet (a document the user script
// did not reach, such as an initial blank page): the bridge is installed and the call repeated.
constexpr dom::Status kNotInstalled = -9;

// A call with no answer after this long, while no script message box keeps the page waiting for
// the user, is abandoned as failed and the page counts as not answering: its process is stuck or
// gone. The window's own handlers wait for the call, so this is how long a click can be held,
// once per hang (a hang that begins inside an action of the program's own, below, holds it
// longer). Pages of this program answer in milliseconds, even while loading.
constexpr gint64 kAnswerBoundUs = 700 * 1000;
// A click or a script of the program's own runs the page's handlers, which may legitimately wait
// for their server (a completion control that sends a synchronous request). Given up on sooner,
// the action would be reported failed although it took effect, and be repeated.
constexpr gint64 kActionAnswerBoundUs = 5000 * 1000;

// Each request goes in as an argument; the body itself never changes.
const std::string& CallBody() {
  static const std::string body = std::string("const b = globalThis.") + protocol::name::kBridge +
                                  "; return b ? b(" + protocol::name::kRequest + ") : {" +
                                  protocol::field::kStatus + ": " + std::to_string(kNotInstalled) +
                                  "};";
  return body;
}

// An evaluation in flight. Its completion finds it here by number; a call that gave up waiting
// has moved to the late ones, whose answer only tells their bridge that the page answers again.
struct Waiter {
  bool done = false;
  GObjectPtr<JSCValue> value;
  std::string error;  // WebKit's reason when the evaluation failed
};

// Why the last evaluation brought no answer; empty when it brought one.
std::string g_lastFailure;
std::map<std::uint64_t, Waiter*> g_waiters;
std::map<std::uint64_t, std::weak_ptr<Bridge>> g_late;
std::uint64_t g_nextWaiter = 1;

void OnEvaluated(GObject* source, GAsyncResult* result, gpointer data) {
  GError* error = nullptr;
  auto value = GObjectPtr<JSCValue>::Adopt(webkit_web_view_call_async_javascript_function_finish(
      WEBKIT_WEB_VIEW(source), result, &error));
  std::string reason = error ? error->message : "";
  if (error) g_error_free(error);
  const auto number = static_cast<std::uint64_t>(GPOINTER_TO_SIZE(data));
  if (auto it = g_waiters.find(number); it != g_waiters.end()) {
    it->second->error = std::move(reason);
    it->second->value = std::move(value);
    it->second->done = true;
  } else if (auto late = g_late.find(number); late != g_late.end()) {
    std::shared_ptr<Bridge> bridge = late->second.lock();
    g_late.erase(late);
    if (bridge) OnLateAnswer(*bridge, number);
  }
}

void DiagnoseFailedCall(std::string_view op, const Reply& reply) {
  dom::WideText pageError = reply.Text(protocol::field::kError);
  std::string why = pageError                ? "the page says " + *pageError
                    : !g_lastFailure.empty() ? g_lastFailure
                                             : "status " + std::to_string(reply.status());
  Diagnose("bridge call " + std::string(op) + " failed: " + why);
}

}  // namespace

const std::uint64_t& g_bridgeRoundTrips = g_roundTrips;

// ---- JSON out -----------------------------------------------------------------------------------

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  if (g_utf8_validate(text.data(), static_cast<gssize>(text.size()), nullptr)) {
    AppendJsonEscaped(out, text);
  } else {
    std::unique_ptr<gchar, GFreeDeleter> valid(
        g_utf8_make_valid(text.data(), static_cast<gssize>(text.size())));
    AppendJsonEscaped(out, valid.get());
  }
  out += '"';
  return out;
}

void JsonFields::Key(std::string_view key) {
  if (!text_.empty()) text_ += ',';
  text_ += JsonString(key);
  text_ += ':';
}

JsonFields& JsonFields::Add(std::string_view key, std::string_view text) {
  Key(key);
  text_ += JsonString(text);
  return *this;
}

JsonFields& JsonFields::AddNullable(std::string_view key, const dom::WideText& text) {
  Key(key);
  text_ += text ? JsonString(*text) : std::string("null");
  return *this;
}

JsonFields& JsonFields::Add(std::string_view key, long number) {
  Key(key);
  text_ += std::to_string(number);
  return *this;
}

JsonFields& JsonFields::Add(std::string_view key, const std::vector<long>& numbers) {
  Key(key);
  text_ += '[';
  for (std::size_t i = 0; i < numbers.size(); ++i) {
    if (i) text_ += ',';
    text_ += std::to_string(numbers[i]);
  }
  text_ += ']';
  return *this;
}

// ---- the answer ---------------------------------------------------------------------------------

GObjectPtr<JSCValue> Reply::Field(const char* key) const {
  if (!value_ || !jsc_value_is_object(value_.get())) return {};
  return GObjectPtr<JSCValue>::Adopt(jsc_value_object_get_property(value_.get(), key));
}

dom::Status Reply::status() const {
  if (unanswered_) return dom::kUnanswered;
  GObjectPtr<JSCValue> s = Field(protocol::field::kStatus);
  if (!s || !jsc_value_is_number(s.get())) return dom::kFailed;
  return jsc_value_to_int32(s.get());
}

long Reply::Number(const char* key) const {
  GObjectPtr<JSCValue> v = Field(key);
  if (!v || !jsc_value_is_number(v.get())) return 0;
  return static_cast<long>(jsc_value_to_double(v.get()));
}

namespace {
dom::WideText ToText(JSCValue* v) {
  if (!v || !jsc_value_is_string(v)) return std::nullopt;
  std::unique_ptr<gchar, GFreeDeleter> text(jsc_value_to_string(v));
  return std::string(text.get());
}
}  // namespace

dom::WideText Reply::Text(const char* key) const {
  return ToText(Field(key).get());
}

bool ParseJsonTexts(std::string_view json, std::vector<dom::WideText>& out) {
  out.clear();
  std::size_t p = 0;
  if (json.empty() || json[p++] != '[') return false;
  if (p < json.size() && json[p] == ']') return p + 1 == json.size();
  while (p < json.size()) {
    if (json[p] == '"') {
      std::string text;
      if (!ReadJsonString(json, p, text)) return false;
      out.emplace_back(std::move(text));
    } else if (json.substr(p, 4) == "null") {
      out.emplace_back(std::nullopt);
      p += 4;
    } else {
      return false;
    }
    if (p >= json.size()) return false;
    char c = json[p++];
    if (c == ']') return p == json.size();
    if (c != ',') return false;
  }
  return false;
}

bool Reply::Texts(const char* key, std::vector<dom::WideText>& out) const {
  dom::WideText json = Text(key);
  return json && ParseJsonTexts(*json, out);
}

bool Reply::Numbers(const char* key, std::vector<long>& out) const {
  out.clear();
  GObjectPtr<JSCValue> array = Field(key);
  if (!array || !jsc_value_is_array(array.get())) return false;
  GObjectPtr<JSCValue> length =
      GObjectPtr<JSCValue>::Adopt(jsc_value_object_get_property(array.get(), "length"));
  const long n = length && jsc_value_is_number(length.get()) ? jsc_value_to_int32(length.get()) : 0;
  for (long i = 0; i < n; ++i) {
    auto item = GObjectPtr<JSCValue>::Adopt(
        jsc_value_object_get_property_at_index(array.get(), static_cast<guint>(i)));
    out.push_back(item && jsc_value_is_number(item.get())
                      ? static_cast<long>(jsc_value_to_double(item.get()))
                      : 0);
  }
  return true;
}

// ---- calls --------------------------------------------------------------------------------------

void Bridge::Release(const std::string& token, long id) {
  // A handle of a page that has gone went with that page's table.
  if (token == pageToken_) releases_.push_back(id);
}

Bridge::~Bridge() {
  if (writesSource_) g_source_remove(writesSource_);
}

void Bridge::Detach() {
  view_ = nullptr;
  writes_.clear();
  if (writesSource_) g_source_remove(std::exchange(writesSource_, 0));
}

void Bridge::QueueTargetWrite(const std::string& token, long handle, long index,
                              const dom::WideText& value) {
  if (!view_) return;
  if (!writes_.empty() && token != writesToken_) FlushWrites();
  writesToken_ = token;
  if (!writes_.empty()) writes_ += ',';
  writes_ += '[' + std::to_string(handle) + ',' + std::to_string(index) + ',' +
             (value ? JsonString(*value) : std::string("null")) + ']';
  Touch();
  if (writesSource_) return;
  // Whatever handler queued the writes runs to its end first; so does any call it waits in.
  writesSource_ = g_idle_add(
      [](gpointer self) -> gboolean {
        auto* bridge = static_cast<Bridge*>(self);
        bridge->writesSource_ = 0;
        HandlerGate::RunOrDefer([weak = bridge->weak_from_this()] {
          if (auto strong = weak.lock()) strong->FlushWrites();
        });
        return G_SOURCE_REMOVE;
      },
      this);
}

void Bridge::FlushWrites() {
  if (writes_.empty()) return;
  Call(protocol::op::kFlush, {});
}

void OnLateAnswer(Bridge& bridge, std::uint64_t number) {
  const bool before = bridge.answering();
  if (bridge.abandoned_.erase(number) == 0) return;
  bridge.abandoned_.clear();  // answers come in order: the page answers again
  bridge.SetAnswering(before);
}

void Bridge::SetAnswering(bool before) {
  if (before != answering() && answeringObserver_) answeringObserver_(answering());
}

void Bridge::Reset() {
  const bool before = answering();
  abandoned_.clear();
  pageToken_.clear();
  releases_.clear();
  writes_.clear();
  Touch();
  SetAnswering(before);
}

Reply Bridge::Call(std::string_view op, const std::string& token, const JsonFields& fields) {
  if (!view_ || !answering()) return {};
  JsonFields head;
  head.Add(protocol::field::kOp, op).Add(protocol::field::kToken, token);
  std::string request = '{' + head.text();
  if (!writes_.empty()) {
    // Before the releases: a handle given back may be the one written through.
    JsonFields writes;
    writes.Add(protocol::field::kWriteToken, writesToken_);
    request += ',' + writes.text() + ",\"" + protocol::field::kWrites + "\":[" + writes_ + ']';
    writes_.clear();
  }
  if (!releases_.empty()) {
    JsonFields rel;
    rel.Add(protocol::field::kReleaseToken, pageToken_).Add(protocol::field::kReleases, releases_);
    request += ',' + rel.text();
    releases_.clear();
  }
  if (!fields.text().empty()) request += ',' + fields.text();
  request += '}';

  struct Acting {
    int& count;
    bool counted;
    ~Acting() { count -= counted ? 1 : 0; }
  } acting{actingCalls_, op == protocol::op::kClick || op == protocol::op::kExec};
  actingCalls_ += acting.counted ? 1 : 0;

  const gint64 bound = acting.counted ? kActionAnswerBoundUs : kAnswerBoundUs;
  bool answered = true;
  Reply reply(Evaluate(CallBody().c_str(), request, bound, &answered));
  if (reply.status() == kNotInstalled) {
    Evaluate(BridgeScript(), {}, kAnswerBoundUs);
    reply = Reply(Evaluate(CallBody().c_str(), request, bound, &answered));
  }
  if (!answered) reply = Reply::Unanswered();
  if (!reply.ok()) DiagnoseFailedCall(op, reply);
  if (dom::WideText page = reply.Text(protocol::field::kToken); page && *page != pageToken_) {
    pageToken_ = *page;
    releases_.clear();
  }
  return reply;
}

GObjectPtr<JSCValue> Bridge::Evaluate(const char* body, const std::string& request, gint64 boundUs,
                                      bool* answered) {
  if (answered) *answered = true;
  if (!view_ || !answering()) return {};
  HandlerGate::Scope scope;
  ++g_roundTrips;

  // The view must outlive the wait even if its window is destroyed meanwhile.
  auto view = GObjectPtr<WebKitWebView>::Retain(view_);
  Waiter waiter;
  const std::uint64_t number = g_nextWaiter++;
  g_waiters[number] = &waiter;

  // Held here, not passed floating: WebKit only reads the arguments and never takes the floating
  // reference, so a floating variant, with the whole request in it, was never freed.
  GVariantPtr arguments;
  if (!request.empty()) {
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_VARDICT);
    g_variant_builder_add(&builder, "{sv}", protocol::name::kRequest,
                          g_variant_new_string(request.c_str()));
    arguments.reset(g_variant_ref_sink(g_variant_builder_end(&builder)));
  }
  webkit_web_view_call_async_javascript_function(view.get(), body, -1, arguments.get(), kWorldName,
                                                 nullptr, nullptr, OnEvaluated,
                                                 GSIZE_TO_POINTER(static_cast<gsize>(number)));

  // A periodic wake-up lets the deadline be checked when nothing else happens.
  GSource* wake = g_timeout_source_new(50);
  g_source_set_callback(
      wake, [](gpointer) -> gboolean { return G_SOURCE_CONTINUE; }, nullptr, nullptr);
  g_source_attach(wake, nullptr);
  gint64 deadline = g_get_monotonic_time() + boundUs;
  // A call made meanwhile (from an event this one caused) may already have found the page not
  // answering, or the page may have been replaced: then there is nothing left to wait for.
  while (!waiter.done && view_ && answering()) {
    g_main_context_iteration(nullptr, TRUE);
    gint64 now = g_get_monotonic_time();
    // A message box raised by the call keeps the page waiting for the user, not stuck.
    if (ScriptDialogs::OpenCount() > 0) deadline = now + boundUs;
    if (now >= deadline) break;
  }
  g_source_destroy(wake);
  g_source_unref(wake);
  g_waiters.erase(number);
  g_lastFailure = !waiter.done            ? "no answer within the time limit"
                  : !waiter.error.empty() ? "WebKit says " + waiter.error
                                          : std::string();
  if (!waiter.done) {
    if (answered) *answered = false;
    const bool before = answering();
    abandoned_.insert(number);
    g_late[number] = weak_from_this();
    SetAnswering(before);
  }
  return std::move(waiter.value);
}

}  // namespace larkwend::gtk
