// SPDX-License-Identifier: GPL-3.0-or-later
// The update gate against a real loopback service: what each reply makes of the start, what the
// download link becomes, and what is asked of the user.
#include <gtest/gtest.h>

#include <climits>
#include <optional>

#include "fake_platform.h"
#include "platform/text.h"
#include "record_capture.h"
#include "update/update_check.h"
#include "update_test_server.h"

namespace larkwend {
namespace {

using testing::ReplyRecord;
using testing::UpdateTestServer;

constexpr const char* kLink = "http://127.0.0.1:18080/download/larkwend.zip";

class UpdateGate : public ::testing::Test {
 protected:
  UpdateEndpoint Endpoint(int limitMs = UPDATE_TIMEOUT_MS) {
    return {"127.0.0.1", server.port(), limitMs};
  }
  int CheckReplying(const std::string& body) {
    server.Reply(ReplyRecord(body));
    return CheckForUpdate(f.platform, url, Endpoint());
  }
  // The one prompt shown, in UTF-8, or nothing.
  std::optional<std::string> Prompt() {
    if (f.dialogs.messages.empty()) return std::nullopt;
    EXPECT_EQ(f.dialogs.messages.size(), 1u);
    const fake::ShownMessage& box = f.dialogs.messages.front();
    EXPECT_EQ(box.caption, "Larkwend");
    EXPECT_EQ(box.type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_FALSE(box.owned);
    return GbkToUtf8(box.text);
  }

  fake::PlatformFixture f;
  UpdateTestServer server;
  std::string url;
};

TEST_F(UpdateGate, SendsTheRequestRecordByteForByte) {
  CheckReplying("301|x");
  std::string expected(56, '\0');
  expected[0] = 'v';
  expected.replace(48, 8, "\xAE\x08\x00\x00\x9F\x2C\x00\x00", 8);
  auto requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0], expected);
}

TEST_F(UpdateGate, NothingNewerGoesOnSilentlyAndKeepsTheLink) {
  EXPECT_EQ(CheckReplying(std::string("301|") + kLink), 1);
  EXPECT_EQ(url, kLink);
  EXPECT_FALSE(Prompt());
  EXPECT_TRUE(f.shell.executed.empty());
}

TEST_F(UpdateGate, ANewerMinorVersionIsOfferedAndNoGoesOn) {
  EXPECT_EQ(CheckReplying(std::string("302|") + kLink), 0);
  EXPECT_EQ(Prompt(), "下载最新版本V3.2？");
  EXPECT_EQ(url, kLink);
  EXPECT_TRUE(f.dialogs.beeps.empty());
  EXPECT_TRUE(f.shell.executed.empty());
}

TEST_F(UpdateGate, YesBeepsOpensTheLinkAndStops) {
  f.dialogs.answers.push_back(IDYES);
  EXPECT_EQ(CheckReplying(std::string("302|") + kLink), UPDATE_STOP);
  EXPECT_EQ(f.dialogs.beeps, std::vector<unsigned>{MB_ICONEXCLAMATION});
  ASSERT_EQ(f.shell.executed.size(), 1u);
  EXPECT_EQ(f.shell.executed[0].verb, "open");
  EXPECT_EQ(f.shell.executed[0].file, kLink);
}

TEST_F(UpdateGate, WhenNoBrowserOpensThePlainBrowserIsStartedMaximised) {
  f.shell.executeResult = 31;  // no handler, and no ".htm" association either
  f.dialogs.answers.push_back(IDYES);
  EXPECT_EQ(CheckReplying(std::string("302|") + kLink), UPDATE_STOP);
  ASSERT_EQ(f.shell.executed.size(), 2u);
  const fake::Shell::Call& last = f.shell.executed[1];
  EXPECT_EQ(last.verb, "OPEN");
  EXPECT_EQ(last.file, "IEXPLORE");
  EXPECT_EQ(last.parameters, kLink);
  EXPECT_EQ(last.show, SW_SHOWMAXIMIZED);
}

TEST_F(UpdateGate, AnEmptyLinkIsNeverHandedToAnyBrowser) {
  f.dialogs.answers.push_back(IDYES);
  EXPECT_EQ(CheckReplying("302|"), UPDATE_STOP);
  EXPECT_EQ(Prompt(), "下载最新版本V3.2？");
  EXPECT_EQ(f.dialogs.beeps.size(), 1u);
  EXPECT_TRUE(f.shell.executed.empty());
  EXPECT_EQ(url, "");
}

TEST_F(UpdateGate, MinorVersionsAreShownWithoutLeadingZeros) {
  for (auto [reply, prompt] :
       {std::pair{"310|L", "下载最新版本V3.10？"}, std::pair{"399|L", "下载最新版本V3.99？"},
        std::pair{" 305x|L", "下载最新版本V3.5？"}}) {
    SCOPED_TRACE(reply);
    f.dialogs.messages.clear();
    EXPECT_EQ(CheckReplying(reply), 0);
    EXPECT_EQ(Prompt(), prompt);
    EXPECT_EQ(url, "L");
  }
}

TEST_F(UpdateGate, ANewerMajorVersionStopsWhateverTheAnswer) {
  for (const char* reply : {"400|L", "12345|L", "99999999999|L"}) {
    for (int answer : {IDNO, IDYES}) {
      SCOPED_TRACE(std::string(reply) + (answer == IDYES ? " yes" : " no"));
      f.dialogs.messages.clear();
      f.dialogs.answers.push_back(answer);
      EXPECT_EQ(CheckReplying(reply), UPDATE_STOP);
      EXPECT_EQ(Prompt(), "V3版本已不适用，下载最新版本？");
    }
  }
}

TEST_F(UpdateGate, ANumberThatIsNoVersionCountsAsNothingNewer) {
  for (auto [reply, link] : {std::pair{"|L", "L"}, std::pair{"abc|L", "L"}, std::pair{"-5|L", "L"},
                             std::pair{"3|0|L", "0|L"}}) {
    SCOPED_TRACE(reply);
    url.clear();
    EXPECT_EQ(CheckReplying(reply), 1);
    EXPECT_EQ(url, link);
  }
  EXPECT_FALSE(Prompt());
}

TEST_F(UpdateGate, ABarThatIsTheSecondByteOfACharacterIsNotTheSeparator) {
  // 0x81 0x7C is one GBK character; the real bar comes after it.
  EXPECT_EQ(CheckReplying("305\x81\x7C"
                          "X|L"),
            0);
  EXPECT_EQ(url, "L");
  EXPECT_EQ(Prompt(), "下载最新版本V3.5？");
}

TEST_F(UpdateGate, TheTextEndsAtItsFirstZeroByte) {
  EXPECT_EQ(CheckReplying(std::string("301|ab\0cd", 9)), 1);
  EXPECT_EQ(url, "ab");
}

TEST_F(UpdateGate, RepliesWithoutTextOrBarKeepTheOldLink) {
  url = "old";
  EXPECT_EQ(CheckReplying("305"), -3);
  EXPECT_EQ(CheckReplying(std::string("\0"
                                      "301|L",
                                      6)),
            -2);
  server.Reply(ReplyRecord(8, ""));  // a length, then the service closes: no body at all
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), -2);
  EXPECT_EQ(url, "old");
  EXPECT_FALSE(Prompt());
}

TEST_F(UpdateGate, UnusableLengthsCountAsNoReply) {
  url = "old";
  for (std::int32_t length : {0, -1, kMaxReplyLength + 1, INT_MAX}) {
    SCOPED_TRACE(length);
    server.Reply(ReplyRecord(length, "301|L"));
    EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), -1);
  }
  server.Reply(std::string("\x05\x00", 2));  // half a length, then the close
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), -1);
  EXPECT_EQ(url, "old");
}

TEST_F(UpdateGate, TheLargestAcceptedReplyIsReadWhole) {
  std::string link = "http://" + std::string(kMaxReplyLength - 11, 'x');
  EXPECT_EQ(CheckReplying("301|" + link), 1);
  EXPECT_EQ(url, link);
}

TEST_F(UpdateGate, AReplyArrivingInPiecesIsPutTogether) {
  server.Reply(ReplyRecord(std::string("302|") + kLink), /*chunk=*/3);
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), 0);
  EXPECT_EQ(url, kLink);
}

TEST_F(UpdateGate, AShortBodyIsUsedAsFarAsItCame) {
  server.Reply(ReplyRecord(40, "302|http://127"));
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), 0);
  EXPECT_EQ(url, "http://127");
  server.Reply(ReplyRecord(40, "302"));
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), -3);
}

TEST_F(UpdateGate, AServiceThatClosesAtOnceOrIsNotThereGivesNoReply) {
  fake::RecordCapture records;
  server.SetMode(UpdateTestServer::Mode::kCloseAtOnce);
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint()), -1);
  const int refusing = testing::RefusingPort();
  EXPECT_EQ(CheckForUpdate(f.platform, url, {"127.0.0.1", refusing}), -1);
  EXPECT_EQ(records.diagnostics(),
            (std::vector<std::string>{
                "update check: no usable reply (no length, or one out of range)",
                "update check: cannot connect to 127.0.0.1:" + std::to_string(refusing)}));
  EXPECT_EQ(url, "");
  EXPECT_FALSE(Prompt());
}

TEST_F(UpdateGate, ASilentServiceGivesNoReplyOnceTheLimitRunsOut) {
  server.SetMode(UpdateTestServer::Mode::kSilent);
  EXPECT_EQ(CheckForUpdate(f.platform, url, Endpoint(/*limitMs=*/150)), -1);
  EXPECT_EQ(url, "");
  // The request did go out before the wait began.
  EXPECT_EQ(server.Requests().at(0).size(), 56u);
}

TEST_F(UpdateGate, TheServiceMayBeNamedByHostName) {
  server.Reply(ReplyRecord("301|L"));
  EXPECT_EQ(CheckForUpdate(f.platform, url, {"localhost", server.port()}), 1);
  EXPECT_EQ(url, "L");
}

TEST(UpdateVersionNumber, ReadsLikeStrtolClampedTo32Bits) {
  EXPECT_EQ(ParseVersionNumber("302"), 302);
  EXPECT_EQ(ParseVersionNumber(" \t\n+42z"), 42);
  EXPECT_EQ(ParseVersionNumber("-5"), -5);
  EXPECT_EQ(ParseVersionNumber(""), 0);
  EXPECT_EQ(ParseVersionNumber("- 5"), 0);
  EXPECT_EQ(ParseVersionNumber("2147483647"), INT_MAX);
  EXPECT_EQ(ParseVersionNumber("2147483648"), INT_MAX);
  EXPECT_EQ(ParseVersionNumber("-2147483648"), INT_MIN);
  EXPECT_EQ(ParseVersionNumber("-99999999999999999999999"), INT_MIN);
}

}  // namespace
}  // namespace larkwend
