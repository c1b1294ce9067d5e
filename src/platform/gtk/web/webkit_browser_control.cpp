// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/gtk/web/webkit_browser_control.h"

#include <webkit2/webkit2.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/gtk/common/gobject_ptr.h"
#include "platform/gtk/common/handler_gate.h"
#include "platform/gtk/web/bridge.h"
#include "platform/gtk/web/bridge_dom.h"
#include "platform/gtk/web/bridge_protocol.h"
#include "platform/gtk/web/bridge_script.h"
#include "platform/gtk/web/certificate_facts.h"
#include "platform/gtk/web/frame_loads.h"
#include "platform/gtk/web/frame_navigations.h"
#include "platform/gtk/web/load_status.h"
#include "platform/gtk/web/script_dialog.h"
#include "platform/gtk/web/session_keeper.h"

namespace larkwend::gtk {
namespace {

// IE's load states: the control reports loading, interactive once the page is committed, and
// complete when the page and its frames have finished.
constexpr long kReadyUninitialized = 0;
constexpr long kReadyLoading = 1;
constexpr long kReadyInteractive = 3;

// NewWindow3's flag for a window the user asked for.
constexpr unsigned kNewWindowUserInitiated = 0x2;

// How often a TLS load that failed as merely cancelled is asked for again (AskAgainForRefusal).
constexpr int kAskAgainAtMost = 3;

// Every view shares one session kept in memory only: cookies last as long as the program, and
// nothing is written where another instance could be using it.
WebKitWebContext* SharedContext() {
  static WebKitWebContext* context = webkit_web_context_new_ephemeral();  // lives for the process
  return context;
}

// Watches that session's cookies from the first view on, so a lost network process costs no login.
SessionKeeper& SharedSession() {
  static SessionKeeper keeper(webkit_web_context_get_cookie_manager(SharedContext()));
  return keeper;
}

class Control final : public WebKitBrowserControl {
 public:
  Control();
  ~Control() override;

  GtkWidget* widget() const override { return GTK_WIDGET(view_.get()); }

  void Navigate(const dom::WideText& url) override { Load(url); }
  void Navigate2(const dom::WideText& url) override { Load(url); }
  dom::Status get_Document(dom::Ref<dom::Document>& out) override;
  dom::Status get_LocationURL(dom::WideText& out) override;
  dom::Status get_ReadyState(long& out) override;
  void put_Silent(bool silent) override { silent_ = silent; }
  void Refresh() override { webkit_web_view_reload(view()); }
  dom::Ref<dom::Dispatch> ControlIdentity() override { return identity_; }
  bool HasWindow() const override { return !destroyed_; }
  void SetEventSink(BrowserEvents* sink) override { sink_ = sink; }
  void LoadAgain(const dom::WideText& url) override;
  bool StopLoading() override;
  void EndPageProcess() override;
  void ShowErrorPages(bool show) override { showErrorPages_ = show; }
  void SetMuted(bool muted) override;
  void KeepPagesFocused(bool keep) override;
  bool TrustCertificate(const std::string& host, const std::string& fingerprint) override;

 private:
  void AddUserScripts();
  void ReportMediaFailure(JSCValue* message, const std::string& address);
  void NoteFrameIntent(JSCValue* message);
  WebKitWebView* view() const { return view_.get(); }
  void Load(const dom::WideText& url);
  const char* CurrentUri() const { return webkit_web_view_get_uri(view()); }

  gboolean DecideNavigation(WebKitPolicyDecision* decision, WebKitNavigationAction* action);
  bool ByUser(const std::string& uri, WebKitNavigationAction* action);
  unsigned NewWindowFlags(WebKitNavigationAction* action) const;
  gboolean DecideWithSession(WebKitPolicyDecision* decision, WebKitNavigationAction* action);
  void RaiseBeforeNavigate(WebKitPolicyDecision* decision, WebKitNavigationAction* action,
                           const std::string& uri, bool byUser);
  void TopLoadFinished();
  gboolean DecideNewWindow(WebKitPolicyDecision* decision, WebKitNavigationAction* action);
  bool IsFrameNavigation(WebKitNavigationAction* action, const std::string& uri);
  bool IsSameDocument(const std::string& uri) const;
  void RaiseNewWindow(const std::string& uri, unsigned flags);
  void FlushWindowRequests();
  bool AskAgainForRefusal(const std::string& address, const GError* error);

  static gboolean OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self);
  static void OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self);
  static gboolean OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self);
  static gboolean OnCertificateRejected(WebKitWebView*, gchar* uri, GTlsCertificate* certificate,
                                        GTlsCertificateFlags errors, gpointer self);
  static void OnResourceLoadStarted(WebKitWebView*, WebKitWebResource* resource, WebKitURIRequest*,
                                    gpointer self);
  static void OnAnswerArrived(WebKitWebResource*, gpointer);
  static gboolean OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self);
  static gboolean OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                 gpointer self);
  static void OnFrameMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                             gpointer self);
  static void OnDestroyed(GtkWidget*, gpointer self);
  static void OnUriChanged(WebKitWebView*, GParamSpec*, gpointer self);
  static void OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason,
                                     gpointer self);

  GObjectPtr<WebKitUserContentManager> content_;
  GObjectPtr<WebKitWebView> view_;
  std::shared_ptr<Bridge> bridge_;
  ScriptDialogs dialogs_;
  // What an event carries as the browser object for the top-level page; a frame's events carry a
  // fresh one.
  dom::Ref<dom::Dispatch> identity_ = NewBrowserIdentity();
  BrowserEvents* sink_ = nullptr;
  bool silent_ = false;
  bool keepFocus_ = false;
  bool destroyed_ = false;
  bool committed_ = false;
  dom::Ref<dom::Document> readyDocument_;  // read with the last ready state, not yet asked for
  std::uint64_t readyGeneration_ = 0;
  std::vector<std::pair<std::string, unsigned>> windowRequests_;
  guint windowRequestSource_ = 0;

  std::string committedUri_;      // the page shown, as its address was when it was committed
  std::string recoveryUri_;       // a load the program asked for with LoadAgain, not yet decided
  std::uint64_t loadsAsked_ = 0;  // by Navigate and LoadAgain, to tell the latest
  // The last address Navigate asked for, and whether the user asked, until its decision comes.
  struct AskedLoad {
    std::string uri;
    bool byUser = true;
  };
  AskedLoad askedLoad_;
  std::optional<bool> newWindowByUser_;  // while a NewWindow3 event is raised
  guint processEndedSource_ = 0;
  PageProcessEnd processEnd_ = PageProcessEnd::kCrashed;

  // Loads, as facts for the program.
  bool showErrorPages_ = true;
  bool topLoadFailed_ = false;     // the top-level load under way has been reported failed
  bool errorPagePending_ = false;  // the engine's error page is about to load in its place
  bool errorPageLoading_ = false;  // ... and is loading: it is no load of the page asked for
  FrameLoads frameLoads_{[this] { return destroyed_ ? nullptr : sink_; }};
  FrameNavigations frameNavigations_;
  // Certificates refused lately, which the program may still decide to trust. The engine
  // accepts only the very certificate it refused, so that is what is kept, not its fingerprint.
  struct Rejected {
    std::string host, fingerprint;
    GObjectPtr<GTlsCertificate> certificate;
  };
  std::vector<Rejected> rejected_;
  int askedAgain_ = 0;  // times in a row a TLS load was asked for again
  guint askAgainSource_ = 0;
  std::string askAgainUri_;
  std::uint64_t askAgainLoads_ = 0;  // loadsAsked_ when it was
  // Held navigation decisions look through this to see whether the control still exists.
  std::shared_ptr<Control*> self_ = std::make_shared<Control*>(this);
};

Control::Control() {
  content_ = GObjectPtr<WebKitUserContentManager>::Adopt(webkit_user_content_manager_new());
  AddUserScripts();
  webkit_user_content_manager_register_script_message_handler_in_world(
      content_.get(), protocol::name::kChannel, Bridge::kWorldName);
  const std::string received = std::string("script-message-received::") + protocol::name::kChannel;
  g_signal_connect(content_.get(), received.c_str(), G_CALLBACK(OnFrameMessage), this);

  SharedSession();
  // Courseware starts its video with sound from the page's own script, with no click of the
  // student's; the original control let it. The student mutes the view instead (SetMuted).
  auto policies = GObjectPtr<WebKitWebsitePolicies>::Adopt(
      webkit_website_policies_new_with_policies("autoplay", WEBKIT_AUTOPLAY_ALLOW, nullptr));
  GtkWidget* widget = GTK_WIDGET(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", SharedContext(),
                                              "user-content-manager", content_.get(),
                                              "website-policies", policies.get(), nullptr));
  view_ = GObjectPtr<WebKitWebView>::Adopt(WEBKIT_WEB_VIEW(g_object_ref_sink(widget)));
  bridge_ = std::make_shared<Bridge>(view());
  bridge_->SetAnsweringObserver([this](bool answering) {
    if (sink_ && !destroyed_) sink_->AnsweringChanged(answering);
  });

  WebKitSettings* settings = webkit_web_view_get_settings(view());
  // Every window.open() must reach OnCreate, where it becomes a NewWindow3 event: the original
  // control blocked no pop-ups of its own.
  webkit_settings_set_javascript_can_open_windows_automatically(settings, TRUE);

  g_signal_connect(view(), "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view(), "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view(), "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view(), "load-failed", G_CALLBACK(OnLoadFailed), this);
  g_signal_connect(view(), "load-failed-with-tls-errors", G_CALLBACK(OnCertificateRejected), this);
  g_signal_connect(view(), "resource-load-started", G_CALLBACK(OnResourceLoadStarted), this);
  g_signal_connect(view(), "script-dialog", G_CALLBACK(OnScriptDialog), this);
  g_signal_connect(view(), "authenticate", G_CALLBACK(OnAuthenticate), this);
  g_signal_connect(view(), "destroy", G_CALLBACK(OnDestroyed), this);
  g_signal_connect(view(), "notify::uri", G_CALLBACK(OnUriChanged), this);
  g_signal_connect(view(), "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
}

Control::~Control() {
  if (windowRequestSource_) g_source_remove(windowRequestSource_);
  if (processEndedSource_) g_source_remove(processEndedSource_);
  if (askAgainSource_) g_source_remove(askAgainSource_);
  bridge_->SetAnsweringObserver(nullptr);
  bridge_->Detach();
  g_signal_handlers_disconnect_by_data(view(), this);
  g_signal_handlers_disconnect_by_data(content_.get(), this);
  webkit_user_content_manager_unregister_script_message_handler_in_world(
      content_.get(), protocol::name::kChannel, Bridge::kWorldName);
}

void Control::AddUserScripts() {
  WebKitUserScript* bridge = webkit_user_script_new_for_world(
      BridgeScript(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
      WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, Bridge::kWorldName, nullptr, nullptr);
  webkit_user_content_manager_add_script(content_.get(), bridge);
  webkit_user_script_unref(bridge);
  const std::string presence = PagePresenceScript(keepFocus_);
  WebKitUserScript* shown =
      webkit_user_script_new(presence.c_str(), WEBKIT_USER_CONTENT_INJECT_ALL_FRAMES,
                             WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
  webkit_user_content_manager_add_script(content_.get(), shown);
  webkit_user_script_unref(shown);
}

void Control::SetMuted(bool muted) {
  if (!destroyed_) webkit_web_view_set_is_muted(view(), muted);
}

void Control::KeepPagesFocused(bool keep) {
  if (keep == keepFocus_ || destroyed_) return;
  keepFocus_ = keep;
  // Documents loaded from now on start with the new choice; those shown now are told.
  webkit_user_content_manager_remove_all_scripts(content_.get());
  AddUserScripts();
  const std::string change = PagePresenceChange(keep);
  webkit_web_view_evaluate_javascript(view(), change.c_str(), -1, nullptr, nullptr, nullptr,
                                      nullptr, nullptr);
}

void Control::Load(const dom::WideText& url) {
  if (!url || destroyed_) return;
  recoveryUri_.clear();  // an address asked for now is announced, whatever was loaded before
  ++loadsAsked_;
  // The program opens what the user asked for, unless it opens a window the page asked for.
  askedLoad_ = {*url, newWindowByUser_.value_or(true)};
  webkit_web_view_load_uri(view(), url->c_str());
}

void Control::LoadAgain(const dom::WideText& url) {
  if (!url || destroyed_) return;
  // Like Refresh, not announced: its navigation decision is let through as the control's own
  // (once the session is whole, as every navigation's).
  recoveryUri_ = *url;
  webkit_web_view_load_uri(view(), url->c_str());
}

bool Control::StopLoading() {
  if (destroyed_) return false;
  webkit_web_view_stop_loading(view());
  // A page that spins in a script while being parsed ignores the stop: only a call finds out.
  bridge_->Call(protocol::op::kReady, {});
  return bridge_->answering();
}

void Control::EndPageProcess() {
  if (destroyed_) return;
  // Ends the process at once; the pending call fails and web-process-terminated follows.
  webkit_web_view_terminate_web_process(view());
}

dom::Status Control::get_Document(dom::Ref<dom::Document>& out) {
  out.Reset();
  if (destroyed_) return dom::kFailed;
  if (!CurrentUri()) return dom::kOk;  // nothing loaded yet
  // The ready-state check brought the document along; it stands while the page has not moved.
  if (readyDocument_ && readyGeneration_ == bridge_->generation()) {
    out = std::move(readyDocument_);
    return dom::kOk;
  }
  readyDocument_.Reset();
  return GetTopDocument(bridge_, out);
}

dom::Status Control::get_LocationURL(dom::WideText& out) {
  if (destroyed_) return dom::kFailed;
  // The page shown, not one still being loaded in its place.
  out = committedUri_;
  return dom::kOk;
}

dom::Status Control::get_ReadyState(long& out) {
  if (destroyed_) return dom::kFailed;
  if (!CurrentUri()) {
    out = kReadyUninitialized;
  } else if (webkit_web_view_is_loading(view())) {
    out = committed_ ? kReadyInteractive : kReadyLoading;
  } else {
    // The top-level load is over; a frame may still be loading (or loading again). A page that
    // does not answer, or whose process is gone, is not complete: nothing can be done with it.
    Reply reply = bridge_->Call(protocol::op::kReady, {});
    out = reply.ok() && reply.Number(protocol::field::kValue) ? READYSTATE_COMPLETE
                                                              : kReadyInteractive;
    if (dom::Failed(TopDocumentFrom(bridge_, reply, readyDocument_))) readyDocument_.Reset();
    readyGeneration_ = bridge_->generation();
  }
  return dom::kOk;
}

// ---- a page whose process ended ---------------------------------------------------------------

void Control::OnWebProcessTerminated(WebKitWebView*, WebKitWebProcessTerminationReason reason,
                                     gpointer self) {
  auto* control = static_cast<Control*>(self);
  // Only EndPageProcess terminates the process through the API.
  control->processEnd_ =
      reason == WEBKIT_WEB_PROCESS_TERMINATED_BY_API       ? PageProcessEnd::kEndedByProgram
      : reason == WEBKIT_WEB_PROCESS_EXCEEDED_MEMORY_LIMIT ? PageProcessEnd::kOutOfMemory
                                                           : PageProcessEnd::kCrashed;
  control->bridge_->Reset();
  control->committed_ = false;
  if (control->destroyed_ || control->processEndedSource_) return;
  // Not from inside the signal: the view is still settling its lost process.
  control->processEndedSource_ = g_idle_add(
      [](gpointer c) -> gboolean {
        auto* ended = static_cast<Control*>(c);
        ended->processEndedSource_ = 0;
        if (ended->sink_ && !ended->destroyed_) ended->sink_->PageProcessEnded(ended->processEnd_);
        return G_SOURCE_REMOVE;
      },
      control);
}

// ---- navigation events ------------------------------------------------------------------------

gboolean Control::OnDecidePolicy(WebKitWebView*, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self) {
  auto* control = static_cast<Control*>(self);
  if (type != WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION &&
      type != WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION)
    return FALSE;
  // The decision must outlive whatever the event handlers do meanwhile.
  auto held = GObjectPtr<WebKitPolicyDecision>::Retain(decision);
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  return type == WEBKIT_POLICY_DECISION_TYPE_NEW_WINDOW_ACTION
             ? control->DecideNewWindow(decision, action)
             : control->DecideNavigation(decision, action);
}

gboolean Control::DecideNavigation(WebKitPolicyDecision* decision, WebKitNavigationAction* action) {
  const char* requested = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  std::string uri = requested ? requested : "";
  // A jump within the page leaves nothing. WebKit also asks about it synchronously, with the
  // page's process waiting: a document-model call made from the event could not be answered.
  if (IsSameDocument(uri)) return FALSE;
  // Every other navigation asks the site for a document (a reload, a redirect and a frame's
  // too): after the loss of the network process it waits until the session is back.
  if (!SharedSession().Whole()) {
    SharedSession().MakeWhole([weak = std::weak_ptr<Control*>(self_),
                               held = GObjectPtr<WebKitPolicyDecision>::Retain(decision), action] {
      auto self = weak.lock();
      if (!self || (*self)->destroyed_)
        webkit_policy_decision_ignore(held.get());
      else if (!(*self)->DecideWithSession(held.get(), action))
        webkit_policy_decision_use(held.get());
    });
    return TRUE;
  }
  return DecideWithSession(decision, action);
}

gboolean Control::DecideWithSession(WebKitPolicyDecision* decision,
                                    WebKitNavigationAction* action) {
  const char* requested = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  std::string uri = requested ? requested : "";
  // A document load follows, reloads and redirects too: its resource tells a frame's load.
  frameLoads_.NavigationDecided(uri);
  // The original control announced neither server redirects nor reloads.
  if (webkit_navigation_action_is_redirect(action) ||
      webkit_navigation_action_get_navigation_type(action) == WEBKIT_NAVIGATION_TYPE_RELOAD)
    return FALSE;
  if (!recoveryUri_.empty() && uri == recoveryUri_) {
    recoveryUri_.clear();
    return FALSE;
  }
  if (!sink_) return FALSE;
  const bool byUser = ByUser(uri, action);

  if (HandlerGate::Busy() && !bridge_->ActingCallInProgress()) {
    // Neither the program nor anything it did asked for this navigation, and a document-model
    // call is waiting: the program sees calls as instant, so the event comes once the outermost
    // handler has returned. WebKit waits for the decision; the page being left stays current.
    HandlerGate::RunOrDefer([weak = std::weak_ptr<Control*>(self_),
                             held = GObjectPtr<WebKitPolicyDecision>::Retain(decision), action, uri,
                             byUser] {
      if (auto self = weak.lock())
        (*self)->RaiseBeforeNavigate(held.get(), action, uri, byUser);
      else
        webkit_policy_decision_ignore(held.get());
    });
    return TRUE;
  }
  RaiseBeforeNavigate(decision, action, uri, byUser);
  return TRUE;
}

bool Control::ByUser(const std::string& uri, WebKitNavigationAction* action) {
  if (const auto asked = std::exchange(askedLoad_, {}); !asked.uri.empty() && asked.uri == uri)
    return asked.byUser;
  // A click the program makes in the page runs as a gesture of the user's: the program's own.
  return webkit_navigation_action_is_user_gesture(action) && !bridge_->ActingCallInProgress();
}

void Control::RaiseBeforeNavigate(WebKitPolicyDecision* decision, WebKitNavigationAction* action,
                                  const std::string& uri, bool byUser) {
  bool cancel = false;
  if (sink_ && !destroyed_) {
    const bool frame = IsFrameNavigation(action, uri);
    if (!frame) sink_->TopLevelNavigationAsked(uri, byUser);
    dom::Ref<dom::Dispatch> browserObject = frame ? NewBrowserIdentity() : identity_;
    if (sink_ && !destroyed_) sink_->BeforeNavigate2(browserObject.get(), uri, cancel);
  }
  if (cancel)
    webkit_policy_decision_ignore(decision);
  else
    webkit_policy_decision_use(decision);
}

bool Control::IsSameDocument(const std::string& uri) const {
  std::size_t hash = uri.find('#');
  if (hash == std::string::npos) return false;
  std::string document = uri.substr(0, hash);
  const char* current = CurrentUri();
  if (current && WithoutFragment(current) == document) return true;
  return frameNavigations_.Shows(document);
}

bool Control::IsFrameNavigation(WebKitNavigationAction* action, const std::string& uri) {
  const char* current = CurrentUri();
  if (!current || !committed_) return false;  // no page yet: only the top level can navigate
  // Frames of another host tell the control themselves; the rest are noted in the top page.
  if (auto known = frameNavigations_.IsFrame(action, uri, current)) return *known;
  Reply reply =
      bridge_->Call(protocol::op::kClassify, {}, JsonFields().Add(protocol::field::kUrl, uri));
  return reply.ok() && reply.Number(protocol::field::kIsFrame) != 0;
}

gboolean Control::DecideNewWindow(WebKitPolicyDecision* decision, WebKitNavigationAction* action) {
  // Nothing ever opens a second window: the request becomes NewWindow3, and a handler that does
  // not cancel it gets the page in this view, the closest this control has to a new window.
  webkit_policy_decision_ignore(decision);
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  RaiseNewWindow(uri ? uri : "", NewWindowFlags(action));
  return TRUE;
}

unsigned Control::NewWindowFlags(WebKitNavigationAction* action) const {
  // As for a navigation: a window opened by a click of the program's is not the user's.
  return webkit_navigation_action_is_user_gesture(action) && !bridge_->ActingCallInProgress()
             ? kNewWindowUserInitiated
             : 0;
}

void Control::RaiseNewWindow(const std::string& uri, unsigned flags) {
  bool cancel = false;
  const char* current = CurrentUri();
  // The handler may open the page in this view: that load is the page's, or the user's, as the
  // window was.
  newWindowByUser_ = (flags & kNewWindowUserInitiated) != 0;
  if (sink_) sink_->NewWindow3(cancel, flags, std::string(current ? current : ""), uri);
  if (!cancel) Load(uri);
  newWindowByUser_.reset();
}

GtkWidget* Control::OnCreate(WebKitWebView*, WebKitNavigationAction* action, gpointer self) {
  // window.open() waits for this answer with the page's process blocked, so the event is raised
  // once the page has its (empty) answer: its handlers may then use the document model.
  auto* control = static_cast<Control*>(self);
  const char* uri = webkit_uri_request_get_uri(webkit_navigation_action_get_request(action));
  control->windowRequests_.emplace_back(uri ? uri : "", control->NewWindowFlags(action));
  if (!control->windowRequestSource_) {
    control->windowRequestSource_ = g_idle_add(
        [](gpointer c) -> gboolean {
          static_cast<Control*>(c)->FlushWindowRequests();
          return G_SOURCE_REMOVE;
        },
        control);
  }
  return nullptr;
}

void Control::FlushWindowRequests() {
  windowRequestSource_ = 0;
  auto requests = std::move(windowRequests_);
  windowRequests_.clear();
  for (const auto& [uri, flags] : requests) RaiseNewWindow(uri, flags);
}

void Control::OnLoadChanged(WebKitWebView*, WebKitLoadEvent event, gpointer self) {
  auto* control = static_cast<Control*>(self);
  control->bridge_->Touch();
  switch (event) {
    case WEBKIT_LOAD_STARTED: {
      control->committed_ = false;
      // Its navigation was decided before the load started: a later one is announced again.
      control->recoveryUri_.clear();
      control->topLoadFailed_ = false;
      control->errorPageLoading_ = std::exchange(control->errorPagePending_, false);
      const char* uri = control->CurrentUri();
      if (control->sink_ && !control->errorPageLoading_)
        control->sink_->LoadStarted(uri ? uri : "", true);
      break;
    }
    case WEBKIT_LOAD_COMMITTED: {
      control->committed_ = true;
      control->frameNavigations_.PageCommitted();
      control->frameLoads_.PageCommitted();
      const char* uri = control->CurrentUri();
      control->committedUri_ = uri ? uri : "";
      control->askedAgain_ = 0;
      // A new page: whatever the one before left unanswered is forgotten.
      control->bridge_->Reset();
      break;
    }
    case WEBKIT_LOAD_FINISHED: {
      control->committed_ = true;
      const char* uri = control->CurrentUri();
      if (control->sink_)
        control->sink_->DocumentComplete(control->identity_.get(), std::string(uri ? uri : ""));
      control->TopLoadFinished();
      break;
    }
    default:
      break;
  }
}

void Control::TopLoadFinished() {
  if (std::exchange(errorPageLoading_, false) || std::exchange(topLoadFailed_, false) || !sink_ ||
      destroyed_)
    return;
  const char* uri = CurrentUri();
  const std::string address = uri ? uri : "";
  // A server's error page loads as any page does; only its status tells it apart.
  if (const int status = ResponseStatus(webkit_web_view_get_main_resource(view())); status >= 400)
    sink_->LoadFailed({address, true, status, {}});
  else
    sink_->LoadFinished(address, true);
}

gboolean Control::OnLoadFailed(WebKitWebView*, WebKitLoadEvent, gchar* uri, GError* error,
                               gpointer self) {
  auto* control = static_cast<Control*>(self);
  const std::string address = uri ? uri : "";
  control->recoveryUri_.clear();
  if (control->errorPageLoading_) return TRUE;  // the error page's own failure: nothing to show
  control->topLoadFailed_ = true;
  if (control->AskAgainForRefusal(address, error)) return TRUE;
  control->askedAgain_ = 0;
  if (control->sink_ && !control->destroyed_) {
    if (IsCancellation(error))
      control->sink_->LoadStopped(address, true);
    else
      control->sink_->LoadFailed({address, true, 0, error ? error->message : "failed"});
  }
  // A stopped load shows nothing; a failed one shows the engine's error page unless told not to.
  if (IsCancellation(error) || !control->showErrorPages_) return TRUE;
  control->errorPagePending_ = true;
  return FALSE;
}

gboolean Control::OnCertificateRejected(WebKitWebView*, gchar* uri, GTlsCertificate* certificate,
                                        GTlsCertificateFlags errors, gpointer self) {
  auto* control = static_cast<Control*>(self);
  // Without a program to decide, the engine's own failure and error page stand.
  if (!control->sink_ || control->destroyed_) return FALSE;
  control->recoveryUri_.clear();
  control->topLoadFailed_ = true;
  control->askedAgain_ = 0;
  CertificateRejection rejection = DescribeRejection(uri, certificate, errors);
  auto& kept = control->rejected_;
  std::erase_if(kept, [&](const Rejected& r) {
    return r.host == rejection.host && r.fingerprint == rejection.fingerprint;
  });
  if (kept.size() >= 8) kept.erase(kept.begin());
  kept.push_back(
      {rejection.host, rejection.fingerprint, GObjectPtr<GTlsCertificate>::Retain(certificate)});
  control->sink_->CertificateRejected(rejection);
  // Handled: no load-failed follows, and the view keeps the page it showed; the program says why.
  return TRUE;
}

// WebKit opens a load's connection ahead of it; when the site's certificate is refused there, the
// load that was to use it may fail as merely cancelled, without a word of the certificate
// (measured with WebKitGTK 2.50: up to one refused https load in eight). Asked for again, it is
// refused with its certificate. A few times at most, so that a load the engine really cancels
// is reported in the end; plain HTTP never meets this.
bool Control::AskAgainForRefusal(const std::string& address, const GError* error) {
  if (!error || !g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED) ||
      !address.starts_with("https:") || askedAgain_ >= kAskAgainAtMost || askAgainSource_ ||
      destroyed_ || !sink_)
    return false;
  ++askedAgain_;
  Diagnose("a TLS load failed as merely cancelled, asked for again: " + address);
  askAgainUri_ = address;
  askAgainLoads_ = loadsAsked_;
  // Not from inside the failure: the engine is still ending that load.
  askAgainSource_ = g_idle_add(
      [](gpointer c) -> gboolean {
        auto* control = static_cast<Control*>(c);
        control->askAgainSource_ = 0;
        // A load asked for meanwhile goes instead.
        if (control->loadsAsked_ != control->askAgainLoads_ ||
            webkit_web_view_is_loading(control->view()))
          return G_SOURCE_REMOVE;
        // Announced already, when it was asked for the first time.
        control->recoveryUri_ = control->askAgainUri_;
        webkit_web_view_load_uri(control->view(), control->askAgainUri_.c_str());
        return G_SOURCE_REMOVE;
      },
      this);
  return true;
}

bool Control::TrustCertificate(const std::string& host, const std::string& fingerprint) {
  for (const Rejected& r : rejected_) {
    if (r.host != host || r.fingerprint != fingerprint || !r.certificate) continue;
    // For this host alone, and for this certificate alone: every other one is checked as before.
    webkit_web_context_allow_tls_certificate_for_host(SharedContext(), r.certificate.get(),
                                                      host.c_str());
    return true;
  }
  return false;
}

void Control::OnResourceLoadStarted(WebKitWebView*, WebKitWebResource* resource, WebKitURIRequest*,
                                    gpointer self) {
  auto* control = static_cast<Control*>(self);
  SharedSession().RequestStarting();
  g_signal_connect(resource, "finished", G_CALLBACK(OnAnswerArrived), nullptr);
  const char* uri = webkit_web_resource_get_uri(resource);
  const char* top = control->CurrentUri();
  if (resource == webkit_web_view_get_main_resource(control->view()) ||
      (uri && top && WithoutFragment(uri) == WithoutFragment(top)))
    return;
  control->frameLoads_.ResourceStarted(resource);
}

void Control::OnAnswerArrived(WebKitWebResource*, gpointer) {
  SharedSession().AnswerArrived();
}

void Control::OnFrameMessage(WebKitUserContentManager*, WebKitJavascriptResult* result,
                             gpointer self) {
  auto* control = static_cast<Control*>(self);
  JSCValue* message = webkit_javascript_result_get_js_value(result);
  if (!jsc_value_is_object(message)) return;
  auto what =
      GObjectPtr<JSCValue>::Adopt(jsc_value_object_get_property(message, protocol::field::kEvent));
  auto url =
      GObjectPtr<JSCValue>::Adopt(jsc_value_object_get_property(message, protocol::field::kUrl));
  if (!jsc_value_is_string(what.get()) || !jsc_value_is_string(url.get())) return;
  std::unique_ptr<gchar, GFreeDeleter> whatText(jsc_value_to_string(what.get()));
  std::unique_ptr<gchar, GFreeDeleter> urlText(jsc_value_to_string(url.get()));
  std::string uri = urlText.get();
  const std::string event = whatText.get();
  if (event == protocol::name::kMediaError) return control->ReportMediaFailure(message, uri);
  if (event == protocol::name::kIntent) return control->NoteFrameIntent(message);
  control->frameNavigations_.FrameShows(uri);
  control->bridge_->Touch();
  if (event != protocol::name::kComplete) return;
  if (control->sink_) {
    dom::Ref<dom::Dispatch> frame = NewBrowserIdentity();
    control->sink_->DocumentComplete(frame.get(), uri);
  }
  control->frameLoads_.DocumentComplete(uri);
}

void Control::NoteFrameIntent(JSCValue* message) {
  auto field = [message](const char* name) {
    return GObjectPtr<JSCValue>::Adopt(jsc_value_object_get_property(message, name));
  };
  auto address = field(protocol::field::kAddress);
  if (!jsc_value_is_string(address.get())) return;
  std::unique_ptr<gchar, GFreeDeleter> url(jsc_value_to_string(address.get()));
  frameNavigations_.Noted(url.get(),
                          jsc_value_to_int32(field(protocol::field::kIsFrame).get()) != 0,
                          jsc_value_to_int32(field(protocol::field::kForm).get()) != 0);
}

void Control::ReportMediaFailure(JSCValue* message, const std::string& address) {
  auto field = [message](const char* name) {
    return GObjectPtr<JSCValue>::Adopt(jsc_value_object_get_property(message, name));
  };
  auto code = field(protocol::field::kCode);
  auto status = field(protocol::field::kHttpStatus);
  auto source = field(protocol::field::kSource);
  if (!jsc_value_is_number(code.get()) || !sink_ || destroyed_) return;
  MediaFailure failure;
  failure.address = address;
  if (jsc_value_is_string(source.get())) {
    std::unique_ptr<gchar, GFreeDeleter> text(jsc_value_to_string(source.get()));
    failure.source = text.get();
  }
  const int httpStatus = jsc_value_is_number(status.get()) ? jsc_value_to_int32(status.get()) : 0;
  // MediaError's codes: 1 aborted by the page, 2 network, 3 decode, 4 source not supported.
  switch (jsc_value_to_int32(code.get())) {
    case 2:
      failure.fault = MediaFault::kNetwork;
      break;
    case 3:
      failure.fault = MediaFault::kDecode;
      break;
    case 4:
      failure.fault = httpStatus >= 400 ? MediaFault::kNotFound : MediaFault::kUnsupported;
      failure.httpStatus = httpStatus >= 400 ? httpStatus : 0;
      break;
    default:
      return;  // the page itself gave up the load
  }
  sink_->MediaFailed(failure);
}

// ---- page dialogs -----------------------------------------------------------------------------

gboolean Control::OnScriptDialog(WebKitWebView* view, WebKitScriptDialog* dialog, gpointer self) {
  return static_cast<Control*>(self)->dialogs_.Show(view, dialog);
}

gboolean Control::OnAuthenticate(WebKitWebView*, WebKitAuthenticationRequest* request,
                                 gpointer self) {
  // Silent: no dialog of the browser's own; the request simply fails.
  if (!static_cast<Control*>(self)->silent_) return FALSE;
  webkit_authentication_request_cancel(request);
  return TRUE;
}

void Control::OnUriChanged(WebKitWebView*, GParamSpec*, gpointer self) {
  // A jump within the page shown changes its address; a load asked for changes it at once too,
  // but that page is not shown before it is committed.
  auto* control = static_cast<Control*>(self);
  const char* uri = control->CurrentUri();
  if (uri && WithoutFragment(uri) == WithoutFragment(control->committedUri_))
    control->committedUri_ = uri;
}

void Control::OnDestroyed(GtkWidget*, gpointer self) {
  auto* control = static_cast<Control*>(self);
  control->destroyed_ = true;
  control->bridge_->Detach();
}

}  // namespace

std::unique_ptr<WebKitBrowserControl> WebKitBrowserControl::Create() {
  return std::make_unique<Control>();
}

}  // namespace larkwend::gtk
