// SPDX-License-Identifier: GPL-3.0-or-later
// The page operations and link handling of the browser wrapper, against the in-memory host.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <set>

#include "browser/conversions.h"
#include "browser/differ_web.h"
#include "browser/link_targets.h"
#include "browser/web_browser2.h"
#include "fake_browser.h"
#include "resources/texts.h"

namespace larkwend {
namespace {

// Records what the control raises, the way the main window's event sink would receive it.
class EventLog : public BrowserEvents {
 public:
  explicit EventLog(CWebBrowser2& browser) : browser_(browser) {}
  void BeforeNavigate2(dom::Dispatch*, const dom::WideText&, bool&) override {}
  void DocumentComplete(dom::Dispatch* object, const dom::WideText&) override {
    OnDocumentComplete(browser_, object);
  }
  void NewWindow3(bool& cancel, unsigned, const dom::WideText&, const dom::WideText& url) override {
    OnNewWindow3(browser_, cancel, url);
  }

 private:
  CWebBrowser2& browser_;
};

class PageOperations : public ::testing::Test {
 protected:
  PageOperations() : control(host), events(browser) {
    browser.Attach(&control);
    control.SetEventSink(&events);
  }
  ~PageOperations() override { control.SetEventSink(nullptr); }

  dom::Ref<dom::Document> Document() { return browser.GetDocument(); }

  fake::Host host;
  fake::Control control;
  CWebBrowser2 browser;
  CDifferWeb web;
  EventLog events;
};

TEST_F(PageOperations, InputsAreFoundByIdOrNameAndTheFirstWins) {
  auto page = fake::MakePage("http://portal/login/");
  auto byName = page->Input("other", "txtUserName", "first");
  auto byId = page->Input("txtUserName", "", "second");
  control.Load(page);

  std::string text;
  ASSERT_TRUE(web.GetInputValue(Document().get(), "txtUserName", text));
  EXPECT_EQ(text, "first");
  ASSERT_TRUE(web.SetInputValue(Document().get(), "txtUserName", "Student01"));
  EXPECT_EQ(byName->value, "Student01");
  EXPECT_EQ(byId->value, "second");
  EXPECT_EQ(host.LiveReferences(), 0);
}

TEST_F(PageOperations, NonInputsAbsentNamesAndEmptyValues) {
  auto page = fake::MakePage("http://portal/login/");
  page->Button("btnLogin");
  auto empty = page->Input("txtCode");
  auto nullValue = page->Input("txtNull");
  nullValue->value = std::nullopt;
  control.Load(page);
  std::string text = "unchanged";

  EXPECT_FALSE(web.SetInputValue(Document().get(), "btnLogin", "x"));
  EXPECT_FALSE(web.GetInputValue(Document().get(), "btnLogin", text));
  EXPECT_FALSE(web.SetInputValue(Document().get(), "missing", "x"));
  EXPECT_FALSE(web.GetInputValue(Document().get(), "missing", text));
  EXPECT_EQ(text, "unchanged");
  EXPECT_EQ(empty->value, "");

  EXPECT_TRUE(web.GetInputValue(Document().get(), "txtCode", text));
  EXPECT_EQ(text, "");
  text = "x";
  EXPECT_TRUE(web.GetInputValue(Document().get(), "txtNull", text));
  EXPECT_EQ(text, "");  // a null browser text reads as empty

  EXPECT_FALSE(web.SetInputValue(nullptr, "txtCode", "x"));
  EXPECT_EQ(host.LiveReferences(), 0);
}

TEST_F(PageOperations, ClickLooksUpByIdAlone) {
  auto page = fake::MakePage("http://portal/login/");
  auto named = page->Input("", "btnLogin");
  auto button = page->Button("btnLogin2");
  control.Load(page);

  EXPECT_FALSE(web.ClickElementById(Document().get(), "btnLogin"));  // only a name matches
  EXPECT_EQ(named->clicks, 0);
  EXPECT_TRUE(web.ClickElementById(Document().get(), "btnLogin2"));
  EXPECT_EQ(button->clicks, 1);
  EXPECT_FALSE(web.ClickElementById(Document().get(), "absent"));
  EXPECT_EQ(host.LiveReferences(), 0);
}

TEST_F(PageOperations, TextPassesThroughUnchangedAndUnholdableCharactersBecomeQuestionMarks) {
  auto page = fake::MakePage("http://portal/login/");
  auto input = page->Input("txtUserName");
  control.Load(page);
  const std::string tricky = Gbk("\"'<b>\\ 张三&amp;</b>");
  ASSERT_TRUE(web.SetInputValue(Document().get(), "txtUserName", tricky));
  EXPECT_EQ(*input->value, "\"'<b>\\ 张三&amp;</b>");
  std::string text;
  input->value = "a😀b";
  ASSERT_TRUE(web.GetInputValue(Document().get(), "txtUserName", text));
  EXPECT_EQ(text, "a?b");
}

// Every call an operation makes can fail on its own; the operation then answers false and
// gives back every reference it took.
TEST_F(PageOperations, EachFailingCallFailsTheOperationAndLeaksNothing) {
  auto page = fake::MakePage("http://portal/login/");
  page->Input("txtUserName", "", "x");
  page->Button("btnLogin");
  control.Load(page);
  dom::Ref<dom::Document> document = Document();

  struct Operation {
    const char* name;
    std::function<bool()> run;
  };
  std::string text;
  const Operation operations[] = {
      {"set", [&] { return web.SetInputValue(document.get(), "txtUserName", "v"); }},
      {"get", [&] { return web.GetInputValue(document.get(), "txtUserName", text); }},
      {"click", [&] { return web.ClickElementById(document.get(), "btnLogin"); }},
  };
  for (const Operation& op : operations) {
    host.ClearFailures();
    host.ClearLog();
    ASSERT_TRUE(op.run()) << op.name;
    std::set<std::string> calls(host.calls().begin(), host.calls().end());
    ASSERT_FALSE(calls.empty());
    for (const std::string& call : calls) {
      host.ClearFailures();
      host.Fail(call);
      long before = host.LiveReferences();
      EXPECT_FALSE(op.run()) << op.name << " with " << call << " failing";
      EXPECT_EQ(host.LiveReferences(), before) << op.name << " with " << call << " failing";
    }
    // A call that succeeds but finds nothing is a failure of the operation as well.
    for (const std::string& call : calls) {
      if (call.rfind("Query.", 0) == 0 || call.find("put_") != std::string::npos ||
          call.find("click") != std::string::npos || call.find("get_value") != std::string::npos)
        continue;
      host.ClearFailures();
      host.Null(call);
      EXPECT_FALSE(op.run()) << op.name << " with " << call << " null";
    }
  }
}

TEST_F(PageOperations, TopLevelCompletionTargetsEveryAnchorAtSelf) {
  auto page = fake::MakePage("http://portal/kvt/user/");
  auto blank = page->Anchor("http://study/", "_blank");
  auto named = page->Anchor("http://study/a", "main");
  auto area = page->Area("http://study/b", "_blank");
  auto frame = page->Frame("http://portal/left.html");
  auto inFrame = frame->Anchor("http://study/c", "_blank");

  control.Load(page);

  EXPECT_EQ(*blank->target, "_self");
  EXPECT_EQ(*named->target, "_self");
  EXPECT_EQ(*area->target, "_blank");
  EXPECT_EQ(*inFrame->target, "_blank");
  EXPECT_EQ(host.LiveReferences(), 0);
}

TEST_F(PageOperations, FrameCompletionsDoNothing) {
  auto page = fake::MakePage("http://study/Study_v2.aspx");
  page->Anchor("http://study/x", "_blank");
  page->Frame("http://study/left.aspx");
  page->Frame("http://study/right.aspx");
  control.Load(page);
  // Three completions were raised (two frames, one top level); only the top level looked at
  // the links.
  long linkWalks = std::count(host.calls().begin(), host.calls().end(), "Document.get_links");
  EXPECT_EQ(linkWalks, 1);
}

TEST_F(PageOperations, LinkWalkSurvivesFailuresAndSkipsBadItems) {
  auto page = fake::MakePage("http://portal/");
  auto first = page->Anchor("http://a/", "_blank");
  auto second = page->Anchor("http://b/", "_blank");
  control.Load(page);
  first->target = "_blank";
  second->target = "_blank";
  host.Fail("Collection.item", 1);  // the first item fails, the walk goes on
  TargetLinksToSelf(browser);
  EXPECT_EQ(*first->target, "_blank");
  EXPECT_EQ(*second->target, "_self");

  for (const char* call : {"Control.get_Document", "Document.get_links", "Collection.get_length"}) {
    host.ClearFailures();
    second->target = "_blank";
    host.Fail(call);
    TargetLinksToSelf(browser);
    EXPECT_EQ(*second->target, "_blank") << call;
    EXPECT_EQ(host.LiveReferences(), 0) << call;
  }
}

TEST_F(PageOperations, NewWindowIsCancelledAndLoadedInTheSameControl) {
  bool cancel = false;
  events.NewWindow3(cancel, 0, std::string("http://portal/"), std::string("http://study/x"));
  EXPECT_TRUE(cancel);
  ASSERT_EQ(control.navigations().size(), 1u);
  EXPECT_EQ(control.navigations()[0], "http://study/x");
  EXPECT_TRUE(control.navigateKinds()[0]);  // Navigate, not Navigate2
  control.Pump();
  EXPECT_EQ(browser.GetLocationURL(), "http://study/x");
}

TEST_F(PageOperations, WrapperWithoutControlIsHarmless) {
  CWebBrowser2 detached;
  EXPECT_FALSE(detached.HasWindow());
  EXPECT_FALSE(detached.GetDocument());
  EXPECT_EQ(detached.GetLocationURL(), "");
  EXPECT_EQ(detached.GetReadyState(), 0);
  detached.Navigate2("http://x/");
  detached.Refresh();
}

}  // namespace
}  // namespace larkwend
