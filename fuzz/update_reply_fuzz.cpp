// SPDX-License-Identifier: GPL-3.0-or-later
// The update check against any reply a service could send: a loopback service sends the input as
// its whole answer, and the check must do what a model of the protocol says: the request sent,
// the result, the stored link, the question asked, and a link handed on only when it is a web
// link, as one argument.
#include <climits>
#include <cstdlib>
#include <string>

#include "fake_platform.h"
#include "fuzz_check.h"
#include "platform/command_line.h"
#include "platform/dialog.h"
#include "platform/system_browser.h"
#include "platform/text.h"
#include "update/update_check.h"
#include "update_test_server.h"

namespace larkwend::fuzz {
namespace {

// What the check must do with a reply, worked out from the protocol rather than the code.
struct Expected {
  int result;
  std::string link;  // the stored link; unchanged ("<unset>") when no link came
  bool asks = false;
};

Expected Model(std::string_view reply) {
  if (reply.size() < 4) return {UPDATE_NO_REPLY, "<unset>"};
  std::uint32_t bits = 0;
  for (int i = 0; i < 4; ++i) bits |= std::uint32_t{static_cast<std::uint8_t>(reply[i])} << (8 * i);
  auto length = static_cast<std::int32_t>(bits);
  if (length <= 0 || length > 64 * 1024) return {UPDATE_NO_REPLY, "<unset>"};
  std::string body(reply.substr(4, static_cast<std::size_t>(length)));
  std::string text = body.substr(0, body.find('\0'));
  if (text.empty()) return {UPDATE_EMPTY_REPLY, "<unset>"};
  std::size_t bar = std::string::npos;
  for (std::size_t i = 0; i < text.size(); ++i) {
    auto c = static_cast<unsigned char>(text[i]);
    if (c == '|') {
      bar = i;
      break;
    }
    if (c >= 0x81 && c <= 0xFE) ++i;  // a trail byte is never the bar
  }
  if (bar == std::string::npos) return {UPDATE_NO_SEPARATOR, "<unset>"};
  std::string number = text.substr(0, bar);
  long long version = std::strtoll(number.c_str(), nullptr, 10);
  version = std::clamp<long long>(version, INT_MIN, INT_MAX);
  std::string link = text.substr(bar + 1);
  if (version <= APP_VERSION) return {UPDATE_NOTHING_NEWER, link};
  return {version / 100 <= APP_VERSION / 100 ? UPDATE_DECLINED : UPDATE_STOP, link, true};
}

}  // namespace
}  // namespace larkwend::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace larkwend;
  using namespace larkwend::fuzz;
  static testing::UpdateTestServer service;
  std::string reply(reinterpret_cast<const char*>(data), size);
  service.Reply(reply);

  // Whether the student says yes comes from the reply's length, so both ways are tried.
  const bool yes = size % 2 == 1;
  fake::PlatformFixture f;
  f.dialogs.answers.push_back(yes ? IDYES : IDNO);
  f.shell.executeResult = 31;  // the shell cannot open it: the fallback has its turn too
  f.associations.Set(".htm", std::string("web"));
  f.associations.Set("web\\shell\\open\\command", std::string(R"("/opt/b/b" --new "%1")"));

  std::string link = "<unset>";
  int result = CheckForUpdate(f.platform, link, {"127.0.0.1", service.port(), 5000});
  const auto request = BuildUpdateRequest();
  Require(service.TakeRequests() ==
              std::vector<std::string>{std::string(request.begin(), request.end())},
          "one connection, carrying the request");
  Expected expected = Model(reply);
  if (expected.asks && yes) expected.result = UPDATE_STOP;
  Require(result == expected.result, "the result the protocol gives");
  Require(link == expected.link, "the link stored is the text after the bar");
  Require(f.dialogs.messages.size() == (expected.asks ? 1u : 0u), "one question, only when newer");

  const bool handedOn = expected.asks && yes;
  if (!handedOn || !IsWebLink(expected.link)) {
    Require(f.shell.executed.empty() && f.shell.started.empty(), "no link but a web link leaves");
    return 0;
  }
  std::string web = std::string(expected.link.c_str());  // a zero-terminated text
  Require(!f.shell.executed.empty() && f.shell.executed[0].file == web, "the shell gets the link");
  for (const std::string& line : f.shell.started) {
    std::vector<std::string> args = SplitCommandLine(GbkToUtf8(line));
    Require(
        args.size() == 3 && args[0] == "/opt/b/b" && args[2] == GbkToUtf8(LinkAsOneArgument(web)),
        "the fallback starts the browser with the link as its own last argument");
  }
  return 0;
}
