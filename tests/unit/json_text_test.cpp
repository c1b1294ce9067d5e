// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/json_text.h"

#include <gtest/gtest.h>

namespace larkwend {
namespace {

std::string ReadBack(std::string_view literal) {
  std::size_t pos = 0;
  std::string out;
  EXPECT_TRUE(ReadJsonString(literal, pos, out)) << literal;
  EXPECT_EQ(pos, literal.size()) << literal;
  return out;
}

TEST(JsonText, EveryTextSurvivesTheRoundTrip) {
  using namespace std::string_literals;
  const std::string texts[] = {"",
                               "plain",
                               "\"quoted\" \\ back/slash",
                               "line\nbreak\r\ttab",
                               "nul\0byte\x01\x1f"s,  // the whole literal, its zero included
                               "张三 <b>&amp;</b> 😀"};
  for (const std::string& text : texts) EXPECT_EQ(ReadBack(JsonQuote(text)), text);
  EXPECT_EQ(JsonQuote("a\x01"), "\"a\\u0001\"");
}

TEST(JsonText, EscapesFromOtherWritersAreRead) {
  EXPECT_EQ(ReadBack(R"("\u5f20\u4e09")"), "张三");
  EXPECT_EQ(ReadBack(R"("\ud83d\ude00")"), "😀");         // a surrogate pair
  EXPECT_EQ(ReadBack(R"("\ud83dx")"), "\xEF\xBF\xBDx");  // a lone surrogate
  EXPECT_EQ(ReadBack(R"("\/\b\f")"), "/\b\f");
}

TEST(JsonText, MalformedLiteralsAreRefusedAndLeaveThePosition) {
  for (std::string_view bad : {R"("open)", R"("bad \q escape")", R"("\u12")", R"("\u12zz")",
                               R"(noquote")", R"("ends in \)"}) {
    std::size_t pos = 0;
    std::string out;
    EXPECT_FALSE(ReadJsonString(bad, pos, out)) << bad;
    EXPECT_EQ(pos, 0u) << bad;
  }
  // Reading starts at the given position and stops right after the closing quote.
  std::size_t pos = 2;
  std::string out;
  ASSERT_TRUE(ReadJsonString(R"([,"a",1])", pos, out));
  EXPECT_EQ(out, "a");
  EXPECT_EQ(pos, 5u);
}

}  // namespace
}  // namespace larkwend
