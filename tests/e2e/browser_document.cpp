// SPDX-License-Identifier: GPL-3.0-or-later
// The document model on real pages through the bridge: the page operations of the login
// assistance, frames by index, link targets, execScript, handles of pages that have gone.
#include <fstream>
#include <string>

#include "browser/differ_web.h"
#include "browser/link_targets.h"
#include "browser/web_browser2.h"
#include "browser_fixture.h"
#include "e2e_diagnostics.h"
#include "e2e_round_trips.h"
#include "platform/gtk/glib_diagnostics.h"
#include "platform/text.h"

namespace larkwend::e2e {
namespace {

using BrowserDocument = BrowserTest;

constexpr const char* kLoginPage = R"(<html><body>
<form id="f" method="post" action="/signed-in">
  <input id="user" name="account">
  <input id="pass" name="password" type="password">
  <div id="note" name="remark">not an input</div>
  <input name="remark" value="second">
  <input type="submit" id="go" value="go">
</form>
<script>
  // What the student types: live values, not markup.
  setTimeout(() => {
    document.getElementById('user').value = '张三 "q" <b> \\ x';
    document.getElementById('pass').value = 'pw';
    document.title = 'typed';
  }, 0);
</script>
</body></html>)";

TEST_F(BrowserDocument, BeforeNavigateOfASubmissionReadsWhatWasTypedIntoThePageBeingLeft) {
  server.Page("/login", kLoginPage);
  server.Page("/signed-in", "<html><body><input id='user' value='new page'></body></html>");
  ASSERT_TRUE(Load(server.Url("/login")));
  CDifferWeb typed;
  std::string account;
  ASSERT_TRUE(PumpUntil(
      [&] { return typed.GetInputValue(Document().get(), "user", account) && !account.empty(); },
      5000));

  CDifferWeb differ;
  std::string duringAccount, duringPassword, duringUrl;
  sink->onBeforeNavigate = [&](const std::string& url) {
    if (url != server.Url("/signed-in")) return;
    dom::Ref<dom::Document> leaving = Document();
    differ.GetInputValue(leaving.get(), "account", duringAccount);
    differ.GetInputValue(leaving.get(), "pass", duringPassword);
    dom::WideText documentUrl;
    leaving->get_URL(documentUrl);
    duringUrl = documentUrl.value_or("");
  };
  int completions = sink->TopCompletions();
  ASSERT_TRUE(differ.ClickElementById(Document().get(), "go"));
  ASSERT_TRUE(WaitForTopCompletion(completions));

  EXPECT_EQ(duringUrl, server.Url("/login"));
  EXPECT_EQ(duringAccount, Utf8ToGbk("张三 \"q\" <b> \\ x"));
  EXPECT_EQ(duringPassword, "pw");
  auto requests = server.Requests();
  ASSERT_EQ(requests.back().path, "/signed-in");
  EXPECT_NE(requests.back().body.find("password=pw"), std::string::npos);
}

TEST_F(BrowserDocument, PageOperationsOfTheLoginAssistance) {
  server.Page("/login", kLoginPage);
  ASSERT_TRUE(Load(server.Url("/login")));
  dom::Ref<dom::Document> document = Document();
  CDifferWeb differ;

  // Text crosses unchanged both ways: quotes, markup, backslashes, non-ASCII, line breaks.
  const std::string value = Utf8ToGbk("李四 '\"</script><b>\\n\\\"\n末");
  ASSERT_TRUE(differ.SetInputValue(document.get(), "account", value));
  std::string read;
  ASSERT_TRUE(differ.GetInputValue(document.get(), "user", read));
  EXPECT_EQ(read, Utf8ToGbk("李四 '\"</script><b>\\n\\\"末")) << "an input drops line breaks";

  // The first element named so is a division: not an input, so nothing is done.
  EXPECT_FALSE(differ.SetInputValue(document.get(), "remark", "x"));
  EXPECT_FALSE(differ.GetInputValue(document.get(), "remark", read));
  EXPECT_FALSE(differ.SetInputValue(document.get(), "absent", "x"));
  EXPECT_FALSE(differ.ClickElementById(document.get(), "absent"));
  EXPECT_FALSE(differ.ClickElementById(document.get(), "account")) << "look-up by id alone";

  ASSERT_TRUE(differ.SetInputValue(document.get(), "password", ""));
  ASSERT_TRUE(differ.GetInputValue(document.get(), "password", read));
  EXPECT_EQ(read, "");
}

TEST_F(BrowserDocument, FramesAreReachedByIndexAndReportTheirOwnAddresses) {
  server.Page("/frames",
              "<html><frameset cols='30%,*'><frame name='left' src='/left?a=1'>"
              "<frame name='right' src='/right'></frameset></html>");
  server.Page("/left", "<html><body><a id='c1' class='undone' href='/right'>one</a></body></html>");
  server.Page("/right", "<html><body><span id='learnedTime'>12 分钟</span></body></html>");
  ASSERT_TRUE(Load(server.Url("/frames")));

  dom::Ref<dom::FramesCollection> frames;
  ASSERT_EQ(Document()->get_frames(frames), dom::kOk);
  long length = 0;
  ASSERT_EQ(frames->get_length(length), dom::kOk);
  ASSERT_EQ(length, 2);
  std::vector<std::string> urls;
  dom::Ref<dom::Document> right;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    ASSERT_EQ(frames->item(i, item), dom::kOk);
    dom::Ref<dom::Window> window;
    ASSERT_EQ(dom::Query(item.get(), window), dom::kOk);
    dom::Ref<dom::Document> document;
    ASSERT_EQ(window->get_document(document), dom::kOk);
    dom::WideText url;
    ASSERT_EQ(document->get_URL(url), dom::kOk);
    urls.push_back(url.value_or(""));
    right = document;
  }
  EXPECT_EQ(urls, (std::vector<std::string>{server.Url("/left?a=1"), server.Url("/right")}));
  EXPECT_EQ(Text([&](auto& t) { return ById(right, "learnedTime")->get_outerText(t); }), "12 分钟");
  dom::Ref<dom::Dispatch> none;
  EXPECT_EQ(frames->item(2, none), dom::kOk);
  EXPECT_FALSE(none);

  // A frame that navigates leaves its old document behind: calls on it fail cleanly.
  dom::Ref<dom::Element> link = ById(right, "learnedTime");
  dom::Ref<dom::Dispatch> leftItem;
  frames->item(0, leftItem);
  dom::Ref<dom::Window> leftWindow;
  dom::Query(leftItem.get(), leftWindow);
  ASSERT_EQ(leftWindow->execScript("location.href = '/left'", "JavaScript"), dom::kOk);
  ASSERT_TRUE(PumpUntil([&] { return server.Hits("/left") == 2; }, 5000));
  PumpFor(300);
  dom::Ref<dom::Document> leftNow;
  ASSERT_EQ(leftWindow->get_document(leftNow), dom::kOk) << "the window follows its frame";
  EXPECT_EQ(Text([&](auto& t) { return leftNow->get_URL(t); }), server.Url("/left"));
  EXPECT_EQ(Text([&](auto& t) { return link->get_outerText(t); }), "12 分钟")
      << "the other frame is untouched";
}

// The ready state brings the top document, its frames and every frame's window, document and
// address along; what it read stands once, and only until the page may have moved.
TEST_F(BrowserDocument, FramesReadAheadOnceAndNeverPastAPageChange) {
  server.Page("/frames",
              "<html><frameset cols='30%,*'><frame src='/left'><frame src='/right'></frameset>"
              "</html>");
  server.Page("/left", "<html><body>left</body></html>");
  server.Page("/right", "<html><body>right</body></html>");
  server.Page("/right2", "<html><body>right again</body></html>");
  ASSERT_TRUE(Load(server.Url("/frames")));
  auto contentDocument = [](const dom::Ref<dom::FramesCollection>& frames) {
    dom::Ref<dom::Dispatch> item;
    dom::Ref<dom::Window> window;
    dom::Ref<dom::Document> document;
    if (dom::Succeeded(frames->item(1, item)) && dom::Succeeded(dom::Query(item.get(), window)))
      window->get_document(document);
    return document;
  };

  ASSERT_EQ(ReadyState(), READYSTATE_COMPLETE);
  const std::uint64_t start = BridgeRoundTrips();
  dom::Ref<dom::FramesCollection> frames;
  ASSERT_EQ(Document()->get_frames(frames), dom::kOk);
  dom::Ref<dom::Document> right = contentDocument(frames);
  ASSERT_TRUE(right);
  EXPECT_EQ(Text([&](auto& t) { return right->get_URL(t); }), server.Url("/right"));
  dom::Ref<dom::Window> rightWindow;
  ASSERT_EQ(right->get_parentWindow(rightWindow), dom::kOk);
  EXPECT_EQ(BridgeRoundTrips(), start) << "everything came with the ready state";
  // Asked again, the same things come from the page.
  EXPECT_EQ(Text([&](auto& t) { return right->get_URL(t); }), server.Url("/right"));
  ASSERT_TRUE(contentDocument(frames));
  EXPECT_EQ(BridgeRoundTrips() - start, 3u);

  // The content frame moves on after the frames were read: its new document is asked for.
  ASSERT_EQ(Document()->get_frames(frames), dom::kOk);
  ASSERT_EQ(rightWindow->execScript("location.href = '/right2'", "JavaScript"), dom::kOk);
  ASSERT_TRUE(PumpUntil([&] { return server.Hits("/right2") == 1; }, 5000));
  PumpFor(300);
  dom::Ref<dom::Document> now = contentDocument(frames);
  ASSERT_TRUE(now);
  EXPECT_EQ(Text([&](auto& t) { return now->get_URL(t); }), server.Url("/right2"));
  dom::WideText stale;
  EXPECT_EQ(right->get_URL(stale), dom::kFailed) << "the document it left has gone";
}

TEST_F(BrowserDocument, HandlesOfAPageThatHasGoneFailCleanly) {
  server.Page("/one", "<html><body><p id='p' class='c'>one</p><a href='/two'>x</a></body></html>");
  server.Page("/two", "<html><body><p id='p'>two</p></body></html>");
  ASSERT_TRUE(Load(server.Url("/one")));
  dom::Ref<dom::Document> old = Document();
  dom::Ref<dom::ElementCollection> all;
  ASSERT_EQ(old->get_all(all), dom::kOk);
  dom::Ref<dom::Element> paragraph = ById(old, "p");
  ASSERT_TRUE(paragraph);

  ASSERT_TRUE(Load(server.Url("/two")));
  dom::WideText text;
  EXPECT_EQ(old->get_URL(text), dom::kFailed);
  EXPECT_EQ(paragraph->get_innerHTML(text), dom::kFailed);
  EXPECT_EQ(paragraph->click(), dom::kFailed);
  dom::Ref<dom::ElementCollection> links;
  EXPECT_EQ(old->get_links(links), dom::kFailed);
  dom::Ref<dom::Dispatch> byName;
  EXPECT_EQ(all->item(std::string("p"), byName), dom::kFailed);
  EXPECT_EQ(Text([&](auto& t) { return ById(Document(), "p")->get_innerHTML(t); }), "two");
}

TEST_F(BrowserDocument, CollectionsLinksAndFaces) {
  server.Page("/links", R"(<html><body>
    <a id="a1" href="/x" target="_blank">new window</a>
    <a id="a2" name="named" href="/y" target="other">named</a>
    <a id="noHref">no address</a>
    <img usemap="#m"><map name="m"><area id="ar" href="/z" target="_blank"></map>
    <input id="a1">
    <svg><a href="/svg"><text>svg link</text></a></svg>
  </body></html>)");
  ASSERT_TRUE(Load(server.Url("/links")));
  dom::Ref<dom::Document> document = Document();

  dom::Ref<dom::ElementCollection> links;
  ASSERT_EQ(document->get_links(links), dom::kOk);
  long length = 0;
  links->get_length(length);
  ASSERT_EQ(length, 3) << "a and area elements with an address";
  std::vector<dom::Status> anchorFaces;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    ASSERT_EQ(links->item(i, item), dom::kOk);
    dom::Ref<dom::AnchorElement> anchor;
    anchorFaces.push_back(dom::Query(item.get(), anchor));
    dom::Ref<dom::InputElement> input;
    EXPECT_EQ(dom::Query(item.get(), input), dom::kNoInterface);
  }
  EXPECT_EQ(anchorFaces, (std::vector<dom::Status>{dom::kOk, dom::kOk, dom::kNoInterface}));
  dom::Ref<dom::Dispatch> outOfRange;
  EXPECT_EQ(links->item(3, outOfRange), dom::kOk);
  EXPECT_FALSE(outOfRange);

  // By name: the first element whose id or name matches, in document order.
  dom::Ref<dom::ElementCollection> all;
  ASSERT_EQ(document->get_all(all), dom::kOk);
  dom::Ref<dom::Dispatch> first;
  ASSERT_EQ(all->item(std::string("a1"), first), dom::kOk);
  dom::Ref<dom::AnchorElement> anchor;
  EXPECT_EQ(dom::Query(first.get(), anchor), dom::kOk);
  dom::Ref<dom::Dispatch> named;
  ASSERT_EQ(all->item(std::string("named"), named), dom::kOk);
  dom::Ref<dom::Element> element;
  ASSERT_EQ(dom::Query(named.get(), element), dom::kOk);
  EXPECT_EQ(Text([&](auto& t) { return element->get_innerHTML(t); }), "named");
  dom::Ref<dom::Dispatch> missing;
  EXPECT_EQ(all->item(std::string("nothing"), missing), dom::kOk);
  EXPECT_FALSE(missing);
  EXPECT_EQ(Text([&](auto& t) { return ById(document, "noHref")->get_className(t); }), "");
  EXPECT_FALSE(ById(document, "nothing"));
}

TEST_F(BrowserDocument, MarkupOfAnyCharactersReadsBackExactly) {
  // Quotes, backslashes, a character outside the basic plane, a control character, markup.
  server.Page("/chars",
              "<html><body><p id=\"p\" class='a \"b\" \\c'>\"q\" \\ 😀 "
              "<b>中</b>&#1;&lt;/p&gt;</p></body></html>");
  ASSERT_TRUE(Load(server.Url("/chars")));
  dom::Ref<dom::ElementCollection> all;
  ASSERT_EQ(Document()->get_all(all), dom::kOk);
  dom::Ref<dom::Dispatch> item;
  ASSERT_EQ(all->item(std::string("p"), item), dom::kOk);
  dom::Ref<dom::Element> paragraph;
  ASSERT_EQ(dom::Query(item.get(), paragraph), dom::kOk);
  EXPECT_EQ(Text([&](auto& t) { return paragraph->get_innerHTML(t); }),
            "\"q\" \\ 😀 <b>中</b>\x01&lt;/p&gt;");
  EXPECT_EQ(Text([&](auto& t) { return paragraph->get_className(t); }), "a \"b\" \\c");
  EXPECT_EQ(Text([&](auto& t) { return paragraph->get_outerText(t); }), "\"q\" \\ 😀 中\x01</p>");
}

TEST_F(BrowserDocument, AfterATopLevelLoadEveryAnchorTargetsSelf) {
  server.Page("/links", R"(<html><body>
    <a id="a1" href="/x" target="_blank">1</a><a id="a2" href="/y" target="other">2</a>
    <a id="a3" href="/z">3</a>
    <img usemap="#m"><map name="m"><area id="ar" href="/z" target="_blank"></map>
    <iframe src="/inner"></iframe></body></html>)");
  server.Page("/inner", R"(<html><body><a id="in" href="/x" target="_top">in</a></body></html>)");
  CWebBrowser2 browser;
  browser.Attach(control.get());
  sink->onDocumentComplete = [&](dom::Dispatch* object) { OnDocumentComplete(browser, object); };
  ASSERT_TRUE(Load(server.Url("/links")));

  dom::Ref<dom::Document> document = Document();
  for (const char* id : {"a1", "a2", "a3"})
    EXPECT_NE(Text([&](auto& t) {
                return ById(document, id)->get_outerHTML(t);
              }).find("target=\"_self\""),
              std::string::npos)
        << id;
  EXPECT_NE(Text([&](auto& t) {
              return ById(document, "ar")->get_outerHTML(t);
            }).find("target=\"_blank\""),
            std::string::npos);

  dom::Ref<dom::FramesCollection> frames;
  document->get_frames(frames);
  dom::Ref<dom::Dispatch> item;
  frames->item(0, item);
  dom::Ref<dom::Window> inner;
  dom::Query(item.get(), inner);
  dom::Ref<dom::Document> innerDocument;
  inner->get_document(innerDocument);
  EXPECT_NE(Text([&](auto& t) {
              return ById(innerDocument, "in")->get_outerHTML(t);
            }).find("target=\"_top\""),
            std::string::npos)
      << "frame documents are left alone";
}

TEST_F(BrowserDocument, PointingEveryAnchorAtSelfCostsTheSameRoundTripsForAnyNumberOfAnchors) {
  CWebBrowser2 browser;
  browser.Attach(control.get());
  std::uint64_t start = 0;
  sink->onDocumentComplete = [&](dom::Dispatch* object) {
    start = BridgeRoundTrips();
    OnDocumentComplete(browser, object);
  };
  auto tripsFor = [&](int anchors) {
    std::string html = "<html><body>";
    for (int i = 0; i < anchors; ++i)
      html += "<a href='/c" + std::to_string(i) + "' target='_blank'>" + std::to_string(i) + "</a>";
    const std::string path = "/anchors" + std::to_string(anchors);
    server.Page(path, html + "</body></html>");
    EXPECT_TRUE(Load(server.Url(path)));
    // The writes leave once the handler has returned, or with the next call at the latest.
    PumpFor(200);
    const std::uint64_t trips = BridgeRoundTrips() - start;

    dom::Ref<dom::ElementCollection> links;
    EXPECT_EQ(Document()->get_links(links), dom::kOk);
    long length = 0;
    if (links) links->get_length(length);
    EXPECT_EQ(length, anchors);
    int toSelf = 0;
    for (long i = 0; i < length; ++i) {
      dom::Ref<dom::Dispatch> item;
      dom::Ref<dom::Element> element;
      dom::WideText markup;
      if (dom::Succeeded(links->item(i, item)) && dom::Succeeded(dom::Query(item.get(), element)) &&
          dom::Succeeded(element->get_outerHTML(markup)) &&
          markup->find("target=\"_self\"") != std::string::npos)
        ++toSelf;
    }
    EXPECT_EQ(toSelf, anchors);
    return trips;
  };
  const std::uint64_t few = tripsFor(20);
  const std::uint64_t many = tripsFor(2000);
  EXPECT_EQ(many, few);
  EXPECT_LE(many, 4u);
}

TEST_F(BrowserDocument, ExecScriptRunsInThePagesOwnWorldAndReportsFailure) {
  const char* popupPage = R"(<html><body><div id="TB_window">pop-up</div>
    <script>window.$ = {Msg: {tb_remove() {
      document.getElementById('TB_window').remove(); }}};</script></body></html>)";
  server.Page("/popup", popupPage);
  server.Page("/plain", "<html><body><div id='TB_window'>pop-up</div></body></html>");
  ASSERT_TRUE(Load(server.Url("/popup")));
  dom::Ref<dom::Window> window;
  ASSERT_EQ(Document()->get_parentWindow(window), dom::kOk);
  EXPECT_EQ(window->execScript("$.Msg.tb_remove();", "JavaScript"), dom::kOk);
  EXPECT_FALSE(ById(Document(), "TB_window"));
  EXPECT_EQ(window->execScript("this is not script", "JavaScript"), dom::kFailed);
  {
    gtk::GlibDiagnostics toGlib;  // a failure is diagnosed with the call and the page's words
    e2e::DiagnosticsCapture diagnostics;
    EXPECT_EQ(window->execScript("throw new Error('page says no')", "JavaScript"), dom::kFailed);
    EXPECT_EQ(
        diagnostics.Messages(),
        std::vector<std::string>{"bridge call exec failed: the page says Error: page says no"});
  }

  ASSERT_TRUE(Load(server.Url("/plain")));
  ASSERT_EQ(Document()->get_parentWindow(window), dom::kOk);
  EXPECT_EQ(window->execScript("$.Msg.tb_remove();", "JavaScript"), dom::kFailed);
  EXPECT_TRUE(ById(Document(), "TB_window"));
}

// The window process's own memory (resident anonymous pages), in KiB.
long OwnMemoryKiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("RssAnon:")) return std::stol(line.substr(8));
  return -1;
}

TEST_F(BrowserDocument, NothingOfARequestIsKeptOnceItsCallIsAnswered) {
  // A study run makes hundreds of calls a chapter, for hours: a request kept after its call is
  // memory that only grows. Each of these carries 1 MiB, so keeping them would show plainly.
  server.Page("/plain", "<html><body></body></html>");
  ASSERT_TRUE(Load(server.Url("/plain")));
  dom::Ref<dom::Window> window;
  ASSERT_EQ(Document()->get_parentWindow(window), dom::kOk);
  const std::string script = "/*" + std::string(1 << 20, 'x') + "*/ 0;";
  for (int i = 0; i < 3; ++i) ASSERT_EQ(window->execScript(script, "JavaScript"), dom::kOk);
  const long before = OwnMemoryKiB();
  for (int i = 0; i < 60; ++i) ASSERT_EQ(window->execScript(script, "JavaScript"), dom::kOk);
  EXPECT_LT(OwnMemoryKiB() - before, 20 * 1024) << "KiB kept by 60 calls of 1 MiB each";
}

TEST_F(BrowserDocument, ReadingEveryElementOfALargeDocumentTakesAFewRoundTrips) {
  std::string html = "<html><body><table>";
  for (int i = 0; i < 660; ++i)
    html += "<tr><td class='" + std::string(i % 10 ? "done" : "undone") + "'><a href='/c" +
            std::to_string(i) + "'>章节 " + std::to_string(i) + "</a></td></tr>";
  html += "</table></body></html>";
  server.Page("/list", html);
  ASSERT_TRUE(Load(server.Url("/list")));

  std::uint64_t start = BridgeRoundTrips();
  dom::Ref<dom::ElementCollection> all;
  ASSERT_EQ(Document()->get_all(all), dom::kOk);
  long length = 0;
  all->get_length(length);
  ASSERT_GT(length, 1980);
  int undone = 0;
  for (long i = 0; i < length; ++i) {
    dom::Ref<dom::Dispatch> item;
    dom::Ref<dom::Element> element;
    if (dom::Failed(all->item(i, item)) || dom::Failed(dom::Query(item.get(), element))) continue;
    dom::WideText className, inner;
    ASSERT_EQ(element->get_className(className), dom::kOk);
    ASSERT_EQ(element->get_innerHTML(inner), dom::kOk);
    if (className == "undone" && inner->find("章节") != std::string::npos) ++undone;
  }
  EXPECT_EQ(undone, 66);
  EXPECT_LE(BridgeRoundTrips() - start, 4u);

  // Giving the objects back costs nothing of its own either.
  std::uint64_t beforeRelease = BridgeRoundTrips();
  all.Reset();
  EXPECT_EQ(BridgeRoundTrips(), beforeRelease);
}

}  // namespace
}  // namespace larkwend::e2e
