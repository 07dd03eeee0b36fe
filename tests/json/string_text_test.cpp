#include "json/string_text.h"

#include <gtest/gtest.h>

#include <string>

namespace yhz::json {
namespace {

std::string written(std::string_view utf8) {
    std::string out;
    appendJsString(out, utf8);
    return out;
}

TEST(StringText, ShortEscapesForQuotesBackslashesAndControls) {
    EXPECT_EQ(written(""), R"("")");
    EXPECT_EQ(written("it's \"q\" \\ /"), R"("it's \"q\" \\ /")");
    EXPECT_EQ(written("\b\t\n\f\r"), R"("\b\t\n\f\r")");
    EXPECT_EQ(written(std::string("a\0b", 3)), R"("a\u0000b")");
    EXPECT_EQ(written("\x01\x1f\x7f"), R"("\u0001\u001f\u007f")");
}

TEST(StringText, InvisibleCharactersEscapedTheRestKept) {
    // U+00AD soft hyphen, U+200C, U+2028, U+FEFF; C1 control U+0085.
    EXPECT_EQ(written("\xC2\xAD|\xE2\x80\x8C|\xE2\x80\xA8|\xEF\xBB\xBF|\xC2\x85"),
              R"("\u00ad|\u200c|\u2028|\ufeff|\u0085")");
    // CJK, Latin-1 letters and characters beyond U+FFFF pass as they are.
    EXPECT_EQ(written("粤B é 😀"), "\"粤B é 😀\"");
}

}  // namespace
}  // namespace yhz::json
