// SPDX-License-Identifier: GPL-3.0-or-later
// What the browser end-to-end tests share: a shown window holding the real control, a sink that
// records its events, a loopback server, and short ways to reach the page.
#pragma once

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <webkit2/webkit2.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "e2e_harness.h"
#include "e2e_http_server.h"
#include "platform/browser_control.h"
#include "platform/dom.h"
#include "platform/gtk/web/webkit_browser_control.h"

namespace larkwend::e2e {

// Records the control's events; a test may hook code into BeforeNavigate2.
class RecordingSink : public BrowserEvents {
 public:
  struct Event {
    std::string url;
    bool topLevel;  // carried the control's own identity
  };

  explicit RecordingSink(BrowserControl& control) : control_(control) {}

  void BeforeNavigate2(dom::Dispatch* browserObject, const dom::WideText& url,
                       bool& cancel) override {
    before.push_back({url.value_or(""), IsControl(browserObject)});
    if (onBeforeNavigate) onBeforeNavigate(url.value_or(""));
    cancel = cancelNavigations;
  }
  void DocumentComplete(dom::Dispatch* browserObject, const dom::WideText& url) override {
    complete.push_back({url.value_or(""), IsControl(browserObject)});
    if (onDocumentComplete) onDocumentComplete(browserObject);
  }
  // As the main window does it: cancel, and load the address in this very control.
  void NewWindow3(bool& cancel, unsigned, const dom::WideText&, const dom::WideText& url) override {
    newWindows.push_back(url.value_or(""));
    cancel = true;
    control_.Navigate(url);
  }

  // The engine's facts, one line each: "started top <url>", "finished frame <url>",
  // "failed frame <url> 502", "failed top <url> network", "stopped frame <url>",
  // "answering 0", "process ended 2" (PageProcessEnd's value).
  void LoadStarted(const std::string& url, bool topLevel) override {
    facts.push_back(std::string("started ") + (topLevel ? "top " : "frame ") + url);
  }
  void LoadFinished(const std::string& url, bool topLevel) override {
    facts.push_back(std::string("finished ") + (topLevel ? "top " : "frame ") + url);
  }
  void LoadFailed(const LoadFailure& failure) override {
    facts.push_back(std::string("failed ") + (failure.topLevel ? "top " : "frame ") +
                    failure.address + " " +
                    (failure.httpStatus ? std::to_string(failure.httpStatus) : "network"));
  }
  void LoadStopped(const std::string& url, bool topLevel) override {
    facts.push_back(std::string("stopped ") + (topLevel ? "top " : "frame ") + url);
  }
  void AnsweringChanged(bool answering) override {
    facts.push_back(std::string("answering ") + (answering ? "1" : "0"));
  }
  void PageProcessEnded(PageProcessEnd why) override {
    facts.push_back("process ended " + std::to_string(static_cast<int>(why)));
  }
  // "media failed <document> <fault> <status>", the fault as MediaFault's value.
  void MediaFailed(const MediaFailure& failure) override {
    facts.push_back("media failed " + failure.address + " " +
                    std::to_string(static_cast<int>(failure.fault)) + " " +
                    std::to_string(failure.httpStatus));
  }
  bool Saw(const std::string& fact) const {
    for (const std::string& f : facts)
      if (f == fact) return true;
    return false;
  }

  int TopCompletions() const {
    int n = 0;
    for (const Event& e : complete) n += e.topLevel;
    return n;
  }

  std::vector<Event> before, complete;
  std::vector<std::string> newWindows;
  std::vector<std::string> facts;
  std::function<void(const std::string&)> onBeforeNavigate;
  std::function<void(dom::Dispatch*)> onDocumentComplete;
  bool cancelNavigations = false;

 private:
  bool IsControl(dom::Dispatch* object) {
    return object && object == control_.ControlIdentity().get();
  }
  BrowserControl& control_;
};

class BrowserTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { gtk_init(nullptr, nullptr); }

  void SetUp() override {
    control = gtk::WebKitBrowserControl::Create();
    sink = std::make_unique<RecordingSink>(*control);
    control->SetEventSink(sink.get());
    control->put_Silent(true);
    window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_default_size(GTK_WINDOW(window), 800, 600);
    gtk_container_add(GTK_CONTAINER(window), control->widget());
    gtk_widget_show_all(window);
  }

  void TearDown() override {
    control->SetEventSink(nullptr);
    control.reset();
    gtk_widget_destroy(window);
    PumpFor(50);
  }

  // Navigates and waits for the top-level DocumentComplete (and ReadyState 4).
  bool Load(const std::string& url) {
    int before = sink->TopCompletions();
    control->Navigate2(url);
    return WaitForTopCompletion(before);
  }
  bool WaitForTopCompletion(int completionsBefore, int timeoutMs = 10000) {
    return PumpUntil([&] { return sink->TopCompletions() > completionsBefore; }, timeoutMs);
  }

  dom::Ref<dom::Document> Document() {
    dom::Ref<dom::Document> document;
    EXPECT_EQ(control->get_Document(document), dom::kOk);
    return document;
  }
  static dom::Ref<dom::Element> ById(const dom::Ref<dom::Document>& document,
                                     const std::string& id) {
    dom::Ref<dom::Document3> document3;
    dom::Ref<dom::Element> element;
    if (!document || dom::Failed(dom::Query(document.get(), document3))) return element;
    document3->getElementById(id, element);
    return element;
  }
  static std::string Text(const std::function<dom::Status(dom::WideText&)>& read) {
    dom::WideText text;
    if (dom::Failed(read(text))) return "<failed>";
    return text.value_or("<null>");
  }
  std::string LocationUrl() {
    dom::WideText url;
    control->get_LocationURL(url);
    return url.value_or("");
  }
  // Starts `script` in the page's own world and does not wait for it.
  void StartPageScript(const std::string& script) {
    webkit_web_view_evaluate_javascript(WEBKIT_WEB_VIEW(control->widget()), script.c_str(), -1,
                                        nullptr, nullptr, nullptr, nullptr, nullptr);
  }
  long ReadyState() {
    long state = -1;
    control->get_ReadyState(state);
    return state;
  }
  // The program's own top-level windows that are shown.
  static int VisibleToplevels() {
    int n = 0;
    GList* all = gtk_window_list_toplevels();
    for (GList* it = all; it; it = it->next)
      if (gtk_widget_get_visible(GTK_WIDGET(it->data)) &&
          gtk_window_get_window_type(GTK_WINDOW(it->data)) == GTK_WINDOW_TOPLEVEL)
        ++n;
    g_list_free(all);
    return n;
  }

  HttpServer server;
  std::unique_ptr<gtk::WebKitBrowserControl> control;
  std::unique_ptr<RecordingSink> sink;
  GtkWidget* window = nullptr;
};

}  // namespace larkwend::e2e
