#include <gtest/gtest.h>

#include "text/encoding.h"

namespace yhz {
namespace {

using namespace std::string_literals;

TEST(Encoding, GbkAndUtf8RoundTrip) {
    EXPECT_EQ(utf8ToLocal("\xE7\xB2\xA4"
                          "B"),
              "\xD4\xC1"
              "B");
    EXPECT_EQ(localToUtf8("\xD4\xC1"
                          "B"),
              "\xE7\xB2\xA4"
              "B");
    EXPECT_EQ(utf8ToLocal(""), "");
    EXPECT_EQ(localToUtf8(""), "");
    // The euro sign is the single byte 0x80 in code page 936.
    EXPECT_EQ(utf8ToLocal("\xE2\x82\xAC"), "\x80");
}

TEST(Encoding, ZeroBytesEndTheText) {
    EXPECT_EQ(utf8ToLocal("ab\0cd"s), "ab");
    EXPECT_EQ(localToUtf8("ab\0cd"s), "ab");
}

TEST(Encoding, UnmappableAndInvalidInputBecomesQuestionMarks) {
    // U+1F600 has no GBK form.
    EXPECT_EQ(utf8ToLocal("a\xF0\x9F\x98\x80"
                          "b"),
              "a?b");
    // A lone continuation byte, an overlong form and a truncated sequence.
    EXPECT_EQ(utf8ToLocal("a\x80"
                          "b"),
              "a?b");
    EXPECT_EQ(utf8ToLocal("\xC0\xAF"), "??");
    EXPECT_EQ(utf8ToLocal("x\xE7\xB2"), "x?");
    // A GBK text that ends in the middle of a character.
    EXPECT_EQ(localToUtf8("a\xD4"), "a?");
}

TEST(Encoding, UrlEncode) {
    const std::string yueB =
        "\xD4\xC1"
        "B";
    EXPECT_EQ(urlEncode(yueB, true, true), "%E7%B2%A4B");
    EXPECT_EQ(urlEncode(yueB, true, false), "%D4%C1B");
    EXPECT_EQ(urlEncode("AB", false, true), "%41%42");
    EXPECT_EQ(urlEncode(" _~*/", true, true), "%20%5F%7E%2A%2F");
    EXPECT_EQ(urlEncode("a-b.9Z", true, true), "a-b.9Z");
    EXPECT_EQ(urlEncode("\x01", true, false), "%01");
    EXPECT_EQ(urlEncode("", true, true), "");
}

TEST(Base64, PaddingAndShortGroups) {
    EXPECT_EQ(base64Decode("QUJD"), "ABC");
    EXPECT_EQ(base64Decode("QUI="), "AB");
    EXPECT_EQ(base64Decode("QQ=="), "A");
    EXPECT_EQ(base64Decode("QUI"), "AB\0"s);
    EXPECT_EQ(base64Decode("QUI", true), "AB");
    EXPECT_EQ(base64Decode(""), "");
}

TEST(Base64, SpacesAndLineBreaksAreIgnored) {
    EXPECT_EQ(base64Decode(" QU\r\nJD "), "ABC");
    EXPECT_EQ(base64Decode("QU\xA1\xA1JD"), "ABC");
    // A lone LF is not a line break pair: it ends the group's reading.
    EXPECT_NE(base64Decode("QU\nJD"), "ABC");
}

TEST(Base64, ForeignCharactersNeverReadPastTheInput) {
    // Any byte is tolerated; the output size stays bounded by the input.
    std::string hostile;
    for (int b = 0; b < 256; ++b) {
        hostile += static_cast<char>(b);
    }
    const std::string out = base64Decode(hostile);
    EXPECT_LE(out.size(), hostile.size());
    EXPECT_EQ(base64Decode("=", false), "");
}

}  // namespace
}  // namespace yhz
