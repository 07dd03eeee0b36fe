#include "text/text_decoding.h"

#include <gtest/gtest.h>

#include "text/encoding.h"

namespace yhz {
namespace {

std::string utf16(std::u16string_view text, bool little) {
    std::string out = little ? "\xFF\xFE" : "\xFE\xFF";
    for (const char16_t unit : text) {
        const char high = static_cast<char>(unit >> 8);
        const char low = static_cast<char>(unit & 0xFF);
        out += little ? low : high;
        out += little ? high : low;
    }
    return out;
}

// Every split of `bytes` into two blocks decodes to the whole-buffer result.
void expectSplitsAgree(TextEncoding from, std::string_view bytes) {
    const std::string whole = GbkDecoder(from).decode(bytes, true);
    for (size_t cut = 0; cut <= bytes.size(); ++cut) {
        GbkDecoder decoder(from);
        std::string pieces = decoder.decode(bytes.substr(0, cut), false);
        pieces += decoder.decode(bytes.substr(cut), true);
        EXPECT_EQ(pieces, whole) << "cut at " << cut;
    }
}

TEST(TextDecoding, EveryEditorEncodingBecomesGbk) {
    const std::string plate = gbk("粤B12345") + "\r\n" + gbk("京A·8") + "\n";
    const std::string utf8 = "粤B12345\r\n京A·8\n";
    EXPECT_EQ(decodeToGbk(plate), plate);
    EXPECT_EQ(decodeToGbk(utf8), plate);
    EXPECT_EQ(decodeToGbk("\xEF\xBB\xBF" + utf8), plate);
    EXPECT_EQ(decodeToGbk(utf16(u"粤B12345\r\n京A·8\n", true)), plate);
    EXPECT_EQ(decodeToGbk(utf16(u"粤B12345\r\n京A·8\n", false)), plate);
    EXPECT_EQ(decodeToGbk("A12345\n"), "A12345\n");
    EXPECT_EQ(decodeToGbk(""), "");
}

TEST(TextDecoding, BadOrCutBytesBecomeQuestionMarksAndZeroEndsTheText) {
    // A character cut short at the end of the file.
    EXPECT_EQ(decodeToGbk("粤B1\xE4\xBA"), gbk("粤B1") + "?");
    EXPECT_EQ(decodeToGbk(utf16(u"粤", true) + "\x41"), gbk("粤") + "?");
    EXPECT_EQ(decodeToGbk(utf16(u"A\xD83D", false)), "A?");
    // A stray low surrogate and a character GBK cannot hold.
    EXPECT_EQ(decodeToGbk(utf16(u"\xDC00"
                                u"B",
                                true)),
              "?B");
    EXPECT_EQ(decodeToGbk(utf16(u"\U0001F600", true)), "?");
    // Not UTF-8 at all: the bytes stay as they are, as GBK.
    EXPECT_EQ(decodeToGbk("\xC1\xC1\xFF"), "\xC1\xC1\xFF");
    EXPECT_EQ(decodeToGbk(std::string("A\0B", 3)), "A");
    EXPECT_EQ(decodeToGbk(utf16(std::u16string(u"A\0B", 3), true)), "A");
    EXPECT_EQ(decodeToGbk(std::string("\xEF\xBB\xBF"
                                      "A\0\xFF",
                                      6)),
              "A");
}

TEST(TextDecoding, BlockBoundariesNeverChangeTheText) {
    expectSplitsAgree(TextEncoding::Utf8, "粤B😀1\xE4\xBA\n\xF0\x9F");
    expectSplitsAgree(TextEncoding::Utf16Le, utf16(u"粤\U0001F600\xDC00"
                                                   u"A",
                                                   true)
                                                 .substr(2));
    expectSplitsAgree(TextEncoding::Utf16Be, utf16(u"B\xD800", false).substr(2) + "\x41");
    expectSplitsAgree(TextEncoding::Gbk,
                      "\xD4\xC1"
                      "B\r\n");
}

TEST(TextDecoding, Utf8CheckStopsAtZeroAndWantsNonAscii) {
    Utf8Check ascii;
    ascii.feed("A12345\r\n");
    EXPECT_TRUE(ascii.valid());
    EXPECT_FALSE(ascii.isUtf8());
    Utf8Check split;
    split.feed("\xE7\xB2");
    split.feed(
        "\xA4"
        "B");
    EXPECT_TRUE(split.isUtf8());
    Utf8Check zero;
    zero.feed(std::string("\xC3\xA9\0\xFF", 4));
    EXPECT_TRUE(zero.isUtf8());
    EXPECT_TRUE(zero.ended());
    Utf8Check overlong;
    overlong.feed("\xE0\x80\x80");
    EXPECT_FALSE(overlong.valid());
}

}  // namespace
}  // namespace yhz
