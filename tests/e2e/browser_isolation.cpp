// SPDX-License-Identifier: GPL-3.0-or-later
// The bridge lives in a script world of its own: what a page does to its own globals and to the
// DOM prototypes of its world does not change what the document model reports.
#include "browser/differ_web.h"
#include "browser_fixture.h"

namespace larkwend::e2e {
namespace {

using BrowserIsolation = BrowserTest;

constexpr const char* kHostilePage = R"(<html><body>
<form name="getElementById" id="f" action="/sent">
  <input id="user" name="action" value="kept">
</form>
<p id="p" class="undone">real markup</p>
<iframe name="inner" src="/inner"></iframe>
<script>
  // Everything a page can do to its own world.
  Object.defineProperty(window, 'frames', {value: {length: 0}});
  Document.prototype.getElementById = () => null;
  document.getElementById = () => null;
  Object.defineProperty(Element.prototype, 'innerHTML', {get() { return 'forged'; }});
  Object.defineProperty(Element.prototype, 'className', {get() { return 'forged'; }});
  Element.prototype.getAttribute = () => 'forged';
  Object.defineProperty(HTMLInputElement.prototype, 'value',
                        {get() { return 'forged'; }, set(v) {}});
  HTMLElement.prototype.click = () => {};
  Array.prototype.map = () => [];
  Array.prototype.slice = () => [];
  JSON.parse = () => ({});
  Object.defineProperty(Document.prototype, 'URL', {get() { return 'forged'; }});
  window.__larkwendBridge = () => ({s: 0, v: 'forged'});
  window.clicked = 0;
</script>
<button id="b" onclick="document.title = 'clicked'">b</button>
</body></html>)";

TEST_F(BrowserIsolation, APageRedefiningItsOwnWorldChangesNothingTheBridgeReports) {
  server.Page("/hostile", kHostilePage);
  server.Page("/inner", "<html><body><span id='s'>inner</span></body></html>");
  ASSERT_TRUE(Load(server.Url("/hostile")));
  dom::Ref<dom::Document> document = Document();

  // Look-up by id goes past the form named "getElementById" and the redefined functions.
  dom::Ref<dom::Element> paragraph = ById(document, "p");
  ASSERT_TRUE(paragraph);
  EXPECT_EQ(Text([&](auto& t) { return paragraph->get_innerHTML(t); }), "real markup");
  EXPECT_EQ(Text([&](auto& t) { return paragraph->get_className(t); }), "undone");
  EXPECT_EQ(Text([&](auto& t) { return document->get_URL(t); }), server.Url("/hostile"));

  CDifferWeb differ;
  std::string value;
  ASSERT_TRUE(differ.GetInputValue(document.get(), "user", value));
  EXPECT_EQ(value, "kept");
  ASSERT_TRUE(differ.SetInputValue(document.get(), "action", "changed"));
  ASSERT_TRUE(differ.GetInputValue(document.get(), "user", value));
  EXPECT_EQ(value, "changed");

  dom::Ref<dom::FramesCollection> frames;
  ASSERT_EQ(document->get_frames(frames), dom::kOk);
  long length = 0;
  frames->get_length(length);
  ASSERT_EQ(length, 1);
  dom::Ref<dom::Dispatch> item;
  frames->item(0, item);
  dom::Ref<dom::Window> inner;
  ASSERT_EQ(dom::Query(item.get(), inner), dom::kOk);
  dom::Ref<dom::Document> innerDocument;
  ASSERT_EQ(inner->get_document(innerDocument), dom::kOk);
  EXPECT_EQ(Text([&](auto& t) { return ById(innerDocument, "s")->get_outerText(t); }), "inner");

  dom::Ref<dom::ElementCollection> all;
  ASSERT_EQ(document->get_all(all), dom::kOk);
  all->get_length(length);
  EXPECT_GT(length, 8);

  // The page's own world still runs its own handlers when the bridge clicks.
  ASSERT_TRUE(differ.ClickElementById(document.get(), "b"));
  dom::Ref<dom::Window> window;
  ASSERT_EQ(document->get_parentWindow(window), dom::kOk);
  // execScript is the one way into the page's world: it sees the page's globals.
  EXPECT_EQ(window->execScript("if (document.title !== 'clicked') throw 1;", "JavaScript"),
            dom::kOk);
  EXPECT_EQ(
      window->execScript("if (typeof __larkwendBridge !== 'function') throw 1;", "JavaScript"),
      dom::kOk)
      << "the page's own definition, not the bridge";
}

}  // namespace
}  // namespace larkwend::e2e
