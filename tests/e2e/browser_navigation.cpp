// SPDX-License-Identifier: GPL-3.0-or-later
// The control's members and events on real WebKit: loads, redirects, reloads, frames and requests
// for new windows.
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "browser_fixture.h"
#include "e2e_round_trips.h"
#include "platform/diagnostics.h"

namespace larkwend::e2e {
namespace {

using BrowserNavigation = BrowserTest;

TEST_F(BrowserNavigation, LoadsInTheViewAndReportsTheTopLevelPage) {
  server.Page("/a", "<html><body><p id='p'>first</p></body></html>");
  EXPECT_EQ(VisibleToplevels(), 1);
  dom::Ref<dom::Document> none;
  EXPECT_EQ(control->get_Document(none), dom::kOk);
  EXPECT_FALSE(none) << "no document before the first navigation";

  const std::string url = server.Url("/a?x=1&y=%E4%B8%AD");
  ASSERT_TRUE(Load(url));
  EXPECT_EQ(LocationUrl(), url);
  EXPECT_EQ(ReadyState(), READYSTATE_COMPLETE);
  EXPECT_TRUE(control->HasWindow());

  ASSERT_EQ(sink->before.size(), 1u);
  EXPECT_EQ(sink->before[0].url, url);
  EXPECT_TRUE(sink->before[0].topLevel);
  ASSERT_EQ(sink->complete.size(), 1u);
  EXPECT_EQ(sink->complete[0].url, url);
  EXPECT_TRUE(sink->complete[0].topLevel);
  // The identity is one stable object, not a new one per call.
  EXPECT_EQ(control->ControlIdentity().get(), control->ControlIdentity().get());
}

TEST_F(BrowserNavigation, RedirectsAndReloadsAreNotAnnounced) {
  server.Page("/target", "<html><body>target</body></html>");
  server.Redirect("/moved", "/target");
  ASSERT_TRUE(Load(server.Url("/moved")));
  EXPECT_EQ(LocationUrl(), server.Url("/target"));
  ASSERT_EQ(sink->before.size(), 1u);
  EXPECT_EQ(sink->before[0].url, server.Url("/moved"));

  int completions = sink->TopCompletions();
  control->Refresh();
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(sink->before.size(), 1u) << "a reload raises no BeforeNavigate2";
  EXPECT_EQ(server.Hits("/target"), 2);
}

TEST_F(BrowserNavigation, CancelledNavigationKeepsThePage) {
  server.Page("/stay", "<html><body>stay</body></html>");
  server.Page("/away", "<html><body>away</body></html>");
  ASSERT_TRUE(Load(server.Url("/stay")));
  sink->cancelNavigations = true;
  control->Navigate(server.Url("/away"));
  PumpUntil([&] { return sink->before.size() == 2; }, 5000);
  PumpFor(300);
  EXPECT_EQ(LocationUrl(), server.Url("/stay"));
  EXPECT_EQ(server.Hits("/away"), 0);
}

TEST_F(BrowserNavigation, FrameLoadsCarryTheirOwnObjectsAndTheTopCompletesOnce) {
  server.Page("/frames",
              "<html><body><iframe name='left' src='/left'></iframe>"
              "<iframe name='right' src='/right'></iframe>"
              "<a id='go' href='/left2' target='left'>go</a></body></html>");
  server.Page("/left", "<html><body>left</body></html>");
  server.Page("/left2", "<html><body>left again</body></html>");
  server.Page("/right", "<html><body>right</body></html>");
  ASSERT_TRUE(Load(server.Url("/frames")));
  EXPECT_EQ(ReadyState(), READYSTATE_COMPLETE);

  std::vector<std::string> frameNavigations, frameCompletions;
  for (const auto& e : sink->before)
    if (!e.topLevel) frameNavigations.push_back(e.url);
  for (const auto& e : sink->complete)
    if (!e.topLevel) frameCompletions.push_back(e.url);
  std::sort(frameNavigations.begin(), frameNavigations.end());
  std::sort(frameCompletions.begin(), frameCompletions.end());
  std::vector<std::string> frames = {server.Url("/left"), server.Url("/right")};
  EXPECT_EQ(frameNavigations, frames);
  EXPECT_EQ(frameCompletions, frames);
  EXPECT_EQ(sink->TopCompletions(), 1);
  EXPECT_EQ(sink->complete.back().url, server.Url("/frames")) << "the top level completes last";

  // A link aimed at a frame navigates that frame, not the page.
  sink->before.clear();
  ASSERT_TRUE(ById(Document(), "go"));
  ASSERT_EQ(ById(Document(), "go")->click(), dom::kOk);
  ASSERT_TRUE(PumpUntil([&] { return server.Hits("/left2") == 1; }, 5000));
  ASSERT_EQ(sink->before.size(), 1u);
  EXPECT_EQ(sink->before[0].url, server.Url("/left2"));
  EXPECT_FALSE(sink->before[0].topLevel);
  EXPECT_EQ(LocationUrl(), server.Url("/frames"));
}

// Frames of another host than the page's are the page's frames all the same: their loads, a
// failure, a redirect to a login page and their own navigations are told as a frame of the page's
// own host has them told. Every load told started is told ended, at the address it ended at.
TEST_F(BrowserNavigation, FramesOfAnyHostAreSeenAlike) {
  // The server is 127.0.0.1 to the engine, and localhost another host.
  const std::string pageHost = server.Url("");
  const std::string otherHost = "http://localhost" + pageHost.substr(pageHost.find(':', 5));
  server.Page("/loads", "<html><body>loads</body></html>");
  server.Page("/login/", "<html><body><input id='txtCode'></body></html>");
  // A frame that follows its own link, and one that moves itself by script, as courseware does.
  server.Page("/clicks",
              "<html><body><a id='a' href='/loads?clicked'>next</a><script>onload = function () {"
              " setTimeout(function () { document.getElementById('a').click(); }, 300); }"
              "</script></body></html>");
  server.Page("/moves",
              "<html><body><script>onload = function () { setTimeout(function () {"
              " location.href = '/loads?moved'; }, 300); }</script></body></html>");
  struct Row {
    const char* what;
    std::string host;
    std::vector<std::string> frames;   // paths on `host`
    std::vector<std::string> movedTo;  // where they went by themselves, on `host`
  };
  // A frame of the page's host that moves itself by script is not told from one that sends the
  // top page away (which such a frame may do without the student): the page's bridge takes it
  // for the top page's navigation. One of another host may not move the top page by script.
  const Row rows[] = {
      {"frames of the page's host",
       pageHost,
       {"/loads", "/missing", "/clicks"},
       {"/loads?clicked"}},
      {"frames of another host",
       otherHost,
       {"/loads", "/missing", "/clicks", "/moves"},
       {"/loads?clicked", "/loads?moved"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    const std::string& host = row.host;
    // The signed-out site sends a frame of its own to the login page of the frames' host.
    server.Redirect("/moved", host + "/login/");
    std::string frames;
    for (const std::string& path : row.frames)
      frames += "<iframe src='" + host + path + "'></iframe>";
    server.Page("/outer", "<html><body>" + frames + "<iframe src='/moved'></iframe></body></html>");
    sink->facts.clear();
    sink->before.clear();
    ASSERT_TRUE(Load(server.Url("/outer")));
    ASSERT_TRUE(PumpUntil(
        [&] {
          return std::all_of(row.movedTo.begin(), row.movedTo.end(), [&](const std::string& path) {
            return sink->Saw("finished frame " + host + path);
          });
        },
        10000))
        << ::testing::PrintToString(sink->facts);
    PumpFor(200);

    std::vector<std::string> expected = {
        "started top " + server.Url("/outer"), "finished top " + server.Url("/outer"),
        "started frame " + host + "/login/", "finished frame " + host + "/login/",
        // The redirect: the frame's load gives way to the login page's.
        "started frame " + server.Url("/moved"), "stopped frame " + server.Url("/moved")};
    std::vector<std::string> frameNavigations = {server.Url("/moved")};
    for (const auto* paths : {&row.frames, &row.movedTo}) {
      for (const std::string& path : *paths) {
        expected.push_back("started frame " + host + path);
        expected.push_back(path == "/missing" ? "failed frame " + host + path + " 404"
                                              : "finished frame " + host + path);
        frameNavigations.push_back(host + path);
      }
    }
    std::vector<std::string> facts = sink->facts;
    std::sort(facts.begin(), facts.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(facts, expected);

    // Only the page itself navigated the top level; the frames' own navigations were theirs.
    std::vector<std::string> top, inFrames;
    for (const auto& e : sink->before) (e.topLevel ? top : inFrames).push_back(e.url);
    std::sort(inFrames.begin(), inFrames.end());
    std::sort(frameNavigations.begin(), frameNavigations.end());
    EXPECT_EQ(top, std::vector<std::string>{server.Url("/outer")});
    EXPECT_EQ(inFrames, frameNavigations);
    EXPECT_EQ(LocationUrl(), server.Url("/outer"));
  }
}

TEST_F(BrowserNavigation, NewWindowRequestsLoadInTheSameView) {
  server.Page("/opener",
              "<html><body>"
              "<a id='blank' href='/popup1' target='_blank'>blank</a>"
              "<button id='open' onclick=\"window.open('/popup2')\">open</button>"
              "</body></html>");
  server.Page("/popup1", "<html><body>one</body></html>");
  server.Page("/popup2", "<html><body>two</body></html>");
  ASSERT_TRUE(Load(server.Url("/opener")));

  int completions = sink->TopCompletions();
  ASSERT_EQ(ById(Document(), "blank")->click(), dom::kOk);
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(LocationUrl(), server.Url("/popup1"));

  ASSERT_TRUE(Load(server.Url("/opener")));
  completions = sink->TopCompletions();
  ASSERT_EQ(ById(Document(), "open")->click(), dom::kOk);
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(LocationUrl(), server.Url("/popup2"));

  EXPECT_EQ(sink->newWindows,
            (std::vector<std::string>{server.Url("/popup1"), server.Url("/popup2")}));
  EXPECT_EQ(VisibleToplevels(), 1) << "no second window";
}

TEST_F(BrowserNavigation, ANavigationThePageAsksForDuringACallIsAnnouncedOnceTheCallReturns) {
  server.Page("/form", "<html><body><input id='name'><a id='away' href='/away'>away</a></body>");
  server.Page("/away", "<html><body>away</body></html>");
  ASSERT_TRUE(Load(server.Url("/form")));
  std::vector<std::string> order;
  std::string typed, shownMeanwhile;
  sink->onBeforeNavigate = [&](const std::string&) {
    order.push_back("BeforeNavigate2");
    shownMeanwhile = LocationUrl();
    dom::Ref<dom::InputElement> input;
    dom::Ref<dom::Element> element = ById(Document(), "name");
    if (element) dom::Query(element.get(), input);
    dom::WideText value;
    if (input) input->get_value(value);
    typed = value.value_or("<unread>");
  };

  const int completions = sink->TopCompletions();
  // The page types, follows its link and stays busy a moment: the call below waits behind it
  // while the navigation is asked for.
  StartPageScript(
      "document.getElementById('name').value = 'typed';"
      "document.getElementById('away').click();"
      "for (const t = Date.now(); Date.now() - t < 200;) {}");
  dom::Ref<dom::Document> document = Document();
  order.push_back("call returned");
  ASSERT_TRUE(WaitForTopCompletion(completions));

  EXPECT_EQ(order, (std::vector<std::string>{"call returned", "BeforeNavigate2"}));
  EXPECT_EQ(typed, "typed") << "the page being left was current during the event";
  EXPECT_EQ(shownMeanwhile, server.Url("/form"));
  EXPECT_EQ(LocationUrl(), server.Url("/away"));
}

TEST_F(BrowserNavigation, TheLocationIsThePageShownNotTheOneBeingLoaded) {
  server.Page("/a", "<html><body>a</body></html>");
  server.Page("/b", "<html><body>b</body></html>");
  ASSERT_TRUE(Load(server.Url("/a")));
  std::string shownDuringEvent;
  sink->onBeforeNavigate = [&](const std::string&) { shownDuringEvent = LocationUrl(); };
  const int completions = sink->TopCompletions();
  control->Navigate2(server.Url("/b"));
  EXPECT_EQ(LocationUrl(), server.Url("/a"));
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(shownDuringEvent, server.Url("/a"));
  EXPECT_EQ(LocationUrl(), server.Url("/b"));
  // A jump within the page is the page shown.
  StartPageScript("location.hash = 'part'");
  EXPECT_TRUE(PumpUntil([&] { return LocationUrl() == server.Url("/b#part"); }, 5000));
}

// What the control reports about a page that goes wrong, and what it does when asked: the program
// decides when to end a page or load it again.
// A loopback port that was free a moment ago (the engine refuses the well-known ones itself).
int FreedPort() {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

// A page that cannot be reached is reported failed once; the engine's error page shown in its
// place is no page of the site, and the next load is reported as any other.
TEST_F(BrowserTest, AFailedLoadIsReportedOnceAndTheErrorPageShownForItIsNoLoad) {
  server.Page("/ok", "<html><body>ok</body></html>");
  // A port nobody listens on any more: the connection is refused.
  const std::string unreachable = "http://127.0.0.1:" + std::to_string(FreedPort()) + "/nothing";
  for (const bool errorPages : {true, false}) {
    SCOPED_TRACE(errorPages ? "with the engine's error page" : "without it");
    control->ShowErrorPages(errorPages);
    sink->facts.clear();
    control->Navigate2(unreachable);
    ASSERT_TRUE(
        PumpUntil([&] { return sink->Saw("failed top " + unreachable + " network"); }, 10000))
        << ::testing::PrintToString(sink->facts);
    PumpFor(500);  // the error page, if any, has loaded by now
    ASSERT_TRUE(Load(server.Url("/ok")));
    ASSERT_TRUE(PumpUntil([&] { return sink->Saw("finished top " + server.Url("/ok")); }, 5000));
    EXPECT_EQ(sink->facts,
              (std::vector<std::string>{
                  "started top " + unreachable, "failed top " + unreachable + " network",
                  "started top " + server.Url("/ok"), "finished top " + server.Url("/ok")}));
  }
}

TEST_F(BrowserTest, AHungPageFailsCallsAtOnceAndIsEndedAndLoadedAgainWhenAsked) {
  server.Page("/spin", "<html><body><p id='p'>page</p></body></html>");
  ASSERT_TRUE(Load(server.Url("/spin")));
  const std::size_t announced = sink->before.size();
  StartPageScript("for (;;) {}");

  EXPECT_NE(ReadyState(), READYSTATE_COMPLETE) << "a page that does not answer is not complete";
  EXPECT_TRUE(sink->Saw("answering 0"));
  const std::uint64_t trips = BridgeRoundTrips();
  dom::Ref<dom::Document> document;
  EXPECT_TRUE(dom::Failed(control->get_Document(document)));
  EXPECT_NE(ReadyState(), READYSTATE_COMPLETE);
  EXPECT_EQ(BridgeRoundTrips(), trips) << "later calls fail without asking the page";

  control->EndPageProcess();
  ASSERT_TRUE(PumpUntil([&] { return sink->Saw("process ended 2"); }, 10000));
  const int completions = sink->TopCompletions();
  control->LoadAgain(server.Url("/spin"));
  ASSERT_TRUE(WaitForTopCompletion(completions)) << "the page was not brought back";
  EXPECT_EQ(server.Hits("/spin"), 2);
  EXPECT_EQ(sink->before.size(), announced) << "bringing the page back is no navigation";
  EXPECT_EQ(ReadyState(), READYSTATE_COMPLETE);
  EXPECT_TRUE(ById(Document(), "p"));

  // The next navigation to that very address is the student's or the page's: announced.
  ASSERT_TRUE(Load(server.Url("/spin")));
  ASSERT_EQ(sink->before.size(), announced + 1);
  EXPECT_EQ(sink->before.back().url, server.Url("/spin"));
}

// WebKit's network process, a child of this one; 0 if there is none.
pid_t NetworkProcess() {
  const std::string parent = std::to_string(getpid());
  for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
    std::ifstream stat(entry.path() / "stat");
    std::string line;
    if (!std::getline(stat, line)) continue;
    // pid (comm) state ppid ...
    const auto close = line.rfind(')');
    const auto open = line.find('(');
    if (close == std::string::npos || open == std::string::npos) continue;
    std::istringstream rest(line.substr(close + 2));
    std::string state, ppid;
    rest >> state >> ppid;
    if (ppid == parent && line.substr(open + 1, close - open - 1).starts_with("WebKitNetwork"))
      return static_cast<pid_t>(std::stoi(line.substr(0, open)));
  }
  return 0;
}

// Kills WebKit's network process and returns once it has died and the main loop has had a moment
// to hear of it: far less than a new process takes to start.
void KillNetworkProcess() {
  const pid_t lost = NetworkProcess();
  ASSERT_NE(lost, 0);
  ASSERT_EQ(kill(lost, SIGKILL), 0);
  for (;;) {
    std::ifstream stat("/proc/" + std::to_string(lost) + "/stat");
    std::string line;
    if (!std::getline(stat, line) || line.substr(line.rfind(')') + 2, 1) == "Z") break;
    usleep(1000);
  }
  PumpFor(20);
}

// The cookies of the last request for `path`, in alphabetical order.
std::string CookiesOfTheLast(const HttpServer& server, const std::string& path) {
  std::string cookies = "<none>";
  for (const HttpRequest& request : server.Requests())
    if (request.path == path) cookies = request.cookies;
  std::vector<std::string> each;
  for (std::size_t at = 0; at < cookies.size();) {
    const std::size_t end = std::min(cookies.find("; ", at), cookies.size());
    each.push_back(cookies.substr(at, end - at));
    at = end + 2;
  }
  std::sort(each.begin(), each.end());
  std::string sorted;
  for (const std::string& cookie : each) sorted += (sorted.empty() ? "" : " ") + cookie;
  return sorted;
}

// The session lives in the network process: one that dies takes the login with it unless it is
// put back, and it goes back before whatever asks the site for something next: a reload, a
// page's own request, a frame's navigation, a load of the program's. What the site did to the
// session after a loss is kept through the next one: a cookie it removed stays removed, one it
// set stays as it was set.
TEST_F(BrowserTest, ASessionOutlivesItsNetworkProcess) {
  server.Page("/c", "<html><body><iframe src='/f'></iframe></body></html>");
  server.Page("/f", "<html><body>frame</body></html>");
  server.Page("/f2", "<html><body>frame again</body></html>");
  server.Page("/xhr", "{}");
  server.SetCookieOnce("/c", "sid=abc; Path=/; HttpOnly");
  server.SetCookieOnce("/c", "gone=1; Path=/");
  ASSERT_TRUE(Load(server.Url("/c")));
  ASSERT_TRUE(Load(server.Url("/c")));
  ASSERT_EQ(CookiesOfTheLast(server, "/c"), "gone=1 sid=abc");
  std::vector<std::string> said;
  SetDiagnosticSink([&](std::string_view message) { said.emplace_back(message); });
  struct Unsink {
    ~Unsink() { SetDiagnosticSink(nullptr); }
  } unsink;
  auto putBack = [&] {
    return std::count_if(said.begin(), said.end(), [](const std::string& m) {
      return m.starts_with("the browser's network process was replaced: ");
    });
  };

  // The reload asked for while the new process is still starting waits for the session.
  KillNetworkProcess();
  int completions = sink->TopCompletions();
  control->Refresh();
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(CookiesOfTheLast(server, "/c"), "gone=1 sid=abc") << "the reload went without it";

  // A request of the page's own, with no load in between; the site's answer sets the session
  // anew and removes a cookie. The new jar announces no change: the copy must learn of it.
  ASSERT_TRUE(PumpUntil([&] { return putBack() == 1; }, 5000));
  server.SetCookieOnce("/xhr", "gone=; Path=/; Max-Age=0");
  server.SetCookieOnce("/xhr", "sid=new; Path=/; HttpOnly");
  StartPageScript("fetch('/xhr', {method: 'POST'})");
  ASSERT_TRUE(PumpUntil([&] { return server.Hits("/xhr") == 1; }, 5000));
  EXPECT_EQ(CookiesOfTheLast(server, "/xhr"), "gone=1 sid=abc") << "the request went without it";

  PumpFor(300);
  KillNetworkProcess();
  StartPageScript("frames[0].location = '/f2'");
  ASSERT_TRUE(PumpUntil([&] { return server.Hits("/f2") == 1; }, 5000));
  EXPECT_EQ(CookiesOfTheLast(server, "/f2"), "sid=new")
      << "what the site did after the first loss was undone";
  // (A loss before the jar was read after an answer puts nothing back: the answer may have
  // removed a cookie.)
  PumpFor(300);

  KillNetworkProcess();
  completions = sink->TopCompletions();
  control->LoadAgain(server.Url("/c"));
  ASSERT_TRUE(WaitForTopCompletion(completions));
  EXPECT_EQ(CookiesOfTheLast(server, "/c"), "sid=new");
  EXPECT_EQ(putBack(), 3) << ::testing::PrintToString(said);
}

}  // namespace
}  // namespace larkwend::e2e
