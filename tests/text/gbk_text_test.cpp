#include <gtest/gtest.h>

#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {
namespace {

// 腫 is C4 5B in GBK: its second byte is "[".
const std::string kTrap =
    "\xC4\x5B"
    "x[y";

TEST(GbkSearch, NeverMatchesInsideADoubleByteCharacter) {
    EXPECT_EQ(findText(kTrap, "["), 4);
    EXPECT_EQ(textBefore(kTrap, "["), "\xC4\x5Bx");
    EXPECT_EQ(findLastText("\xC4\x5B\xC4\x5B", "["), -1);
    EXPECT_EQ(textAfterLast(kTrap, "["), "y");
    // A marker that is itself a double-byte character is found on its boundary only.
    const std::string text = gbk("车牌粤B车");
    EXPECT_EQ(findText(text, gbk("粤")), 5);
}

TEST(GbkSearch, EmptyMarkersAndStartPositions) {
    EXPECT_EQ(findText("abc", ""), 1);
    EXPECT_EQ(findText("", ""), -1);
    EXPECT_EQ(findText("", "a"), -1);
    EXPECT_EQ(findText("abcabc", "abc", 2), 4);
    EXPECT_EQ(findText("abc", "c", 4), -1);
    EXPECT_EQ(findText("abc", "c", 0), -1);
    EXPECT_EQ(findText("aBc", "bC", 1, Case::Insensitive), 2);
}

TEST(GbkSearch, TruncatedLeadByteAtTheEndIsNotReadPast) {
    const std::string text = "ab\xC4";
    EXPECT_EQ(findText(text, "\xC4\x5B"), -1);
    EXPECT_EQ(findText(text, "b"), 2);
    EXPECT_EQ(findLastText(text, "\xC4"), 3);
    EXPECT_EQ(toLowerAscii("AB\xC4"), "ab\xC4");
    EXPECT_EQ(trimSpaces(" a\xC4"), "a\xC4");
    EXPECT_EQ(replaceAll("A\xC4", "A", "b"), "b\xC4");
}

TEST(GbkText, LowerCasingLeavesDoubleByteCharactersAlone) {
    // The second byte of 臕 (C5 41) is "A" and must stay upper-case.
    EXPECT_EQ(toLowerAscii("HTTP://X\xC5\x41Y"), "http://x\xC5\x41y");
}

TEST(GbkText, TrimRemovesAsciiAndFullWidthSpacesOnly) {
    const std::string wide = "\xA1\xA1";
    EXPECT_EQ(trimSpaces(" " + wide + "A1" + wide + " "), "A1");
    EXPECT_EQ(trimSpaces("\tA "), "\tA");
    EXPECT_EQ(trimSpaces(wide + wide), "");
    // "\xB0\xA1" ends in A1 but is not a space character.
    EXPECT_EQ(trimSpaces("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
}

TEST(GbkText, SplitDropsOnlyOneFinalEmptyPiece) {
    using V = std::vector<std::string>;
    EXPECT_EQ(splitText("8,68,69", ","), (V{"8", "68", "69"}));
    EXPECT_EQ(splitText(",4,37", ","), (V{"", "4", "37"}));
    EXPECT_EQ(splitText("4,,37,", ","), (V{"4", "", "37"}));
    EXPECT_EQ(splitText("4,,", ","), (V{"4", ""}));
    EXPECT_EQ(splitText("", ","), V{});
    EXPECT_EQ(splitText("a\r\nb\r\n", "\r\n"), (V{"a", "b"}));
}

TEST(TextCut, Markers) {
    EXPECT_EQ(textBefore("a=b=c", "="), "a");
    EXPECT_EQ(textAfterLast("a=b=c", "="), "c");
    EXPECT_EQ(textBefore("abc", "x"), "");
    EXPECT_EQ(textAfterLast("abc", "x"), "");
    EXPECT_EQ(textBetween("k=[v]", "[", "]"), "v");
    EXPECT_EQ(textBetween("k=[]", "[", "]"), "");
    EXPECT_EQ(textBetween("]x[", "[", "]"), "");
    EXPECT_EQ(textBetween("[x", "[", "]"), "");
    EXPECT_EQ(textBetween("x[", "[", ""), "");
}

TEST(TextCut, QuoteTokenStandsForADoubleQuote) {
    const std::string json = R"({"name":"value"})";
    const std::string token = gbk("#引号");
    EXPECT_EQ(textBetween(json, "name" + token + ":" + token, token), "value");
    EXPECT_EQ(textBetween(json, "name\":\"", "\""), "value");
    // textBefore and textAfterLast take the token literally.
    EXPECT_EQ(textBefore(json, token), "");
}

}  // namespace
}  // namespace yhz
