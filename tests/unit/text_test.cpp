// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/text.h"

#include <gtest/gtest.h>

namespace larkwend {
namespace {

// "中" in GBK is D6 D0; "|" is 0x7C; "饢" (0xD07C... ) is a character whose trail byte is 0x7C.
const std::string kZhong = "\xD6\xD0";
const std::string kTrail7C = "\x81\x7C";  // 丂's neighbour: lead 0x81, trail 0x7C

TEST(GbkText, RoundTripsChineseText) {
  std::string gbk = Utf8ToGbk("没有找到未完成章节");
  EXPECT_EQ(gbk.size(), 18u);
  EXPECT_EQ(GbkToUtf8(gbk), "没有找到未完成章节");
  EXPECT_EQ(Utf8ToGbk("中"), kZhong);
}

TEST(GbkText, CharactersGbkCannotHoldBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToGbk("a😀b"), "a?b");
  EXPECT_EQ(Utf8ToGbk("\xFF"), "?");
  EXPECT_EQ(GbkToUtf8("a\xFF"), "a?");
  EXPECT_EQ(GbkToUtf8("\xD6"), "?");  // a lead byte with nothing behind it
  // A stray lead byte never takes a byte that cannot be a trail byte with it.
  EXPECT_EQ(GbkToUtf8("a\x81 b"), "a? b");
  EXPECT_EQ(GbkToUtf8("\x81\"x\""), "?\"x\"");
  EXPECT_EQ(GbkToUtf8("\xD6\x7F\xD6\xFF"), "?\x7F??");
  EXPECT_EQ(Utf8ToGbk(""), "");
}

TEST(GbkText, TrailByte7CIsNotABar) {
  std::string text = kTrail7C + "302|http://x/";
  EXPECT_EQ(text.find('|'), 1u);  // the naive search is wrong
  EXPECT_EQ(FindGbkByte(text, '|'), 5u);
  EXPECT_EQ(FindGbkByte(kTrail7C, '|'), std::string::npos);
  EXPECT_EQ(FindGbk("ab" + kTrail7C + "|x", "|x"), 4u);
}

TEST(GbkText, LowerCasingKeepsDoubleByteCharactersWhole) {
  // A trail byte in the ASCII capital range (0x41..0x5A) must not be lower-cased.
  std::string text = "ABC\x81\x41Z" + kZhong;
  LowerCaseGbk(text);
  EXPECT_EQ(text, "abc\x81\x41z" + kZhong);
  std::string fullWidth = Utf8ToGbk("ＡＢ");
  LowerCaseGbk(fullWidth);
  EXPECT_EQ(GbkToUtf8(fullWidth), "ａｂ");
}

TEST(GbkText, CutNeverLeavesHalfACharacter) {
  std::string text = "abc" + kZhong + kZhong;  // 7 bytes
  EXPECT_EQ(CutGbk(text, 4), "abc");
  EXPECT_EQ(CutGbk(text, 5), "abc" + kZhong);
  EXPECT_EQ(CutGbk(text, 100), text);
  EXPECT_EQ(CutGbk(std::string(30, 'x'), 23), std::string(23, 'x'));
}

TEST(GbkText, ComparisonIsTextualAndCaseBlind) {
  EXPECT_LT(CompareGbkNoCase("10", "9"), 0);
  EXPECT_EQ(CompareGbkNoCase("ABC", "abc"), 0);
  EXPECT_LT(CompareGbkNoCase("ab", "abc"), 0);
  EXPECT_GT(CompareGbkNoCase("abc", "ab"), 0);
  // A double-byte character sorts above every single-byte one.
  EXPECT_GT(CompareGbkNoCase(kZhong, "\x7F"), 0);
  EXPECT_EQ(CompareGbkNoCase(Utf8ToGbk("Ａ"), Utf8ToGbk("ａ")), 0);
  EXPECT_EQ(CompareGbkNoCase("00:10:00", "00:10:00"), 0);
}

}  // namespace
}  // namespace larkwend
