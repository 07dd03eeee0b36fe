#include "json/value_text.h"

#include <gtest/gtest.h>

#include <string>

#include "text/encoding.h"

namespace yhz::json {
namespace {

TEST(ValueText, NestingIsBoundedBeforeParsing) {
    const auto nested = [](int depth) {
        return std::string(static_cast<size_t>(depth), '[') +
               std::string(static_cast<size_t>(depth), ']');
    };
    EXPECT_TRUE(parseJson(nested(8), 8));
    EXPECT_FALSE(parseJson(nested(9), 8));
    EXPECT_FALSE(parseJson(nested(200000), 512));
    EXPECT_FALSE(parseJson("{}", -1));
    // Brackets inside strings, escaped quotes included, do not count.
    EXPECT_TRUE(parseJson(R"(["[[[[\"[[[["])", 1));
    EXPECT_FALSE(parseJson("[1,]", 8));
    EXPECT_FALSE(parseJson("{\"a\":1}x", 8));
    const auto value = parseJson(R"({"a":[1,{"b":[]}],"c":2})", 8);
    ASSERT_TRUE(value);
    EXPECT_EQ(valueDepth(*value), 4);
    EXPECT_EQ(valueDepth(Json(1)), 0);
}

TEST(ValueText, WrittenCompactInArrivalOrderWithTheEngineForms) {
    const auto value =
        parseGbkJson(gbk(R"({"z":1,"a":"号\u200c","n":[1e21,-0,100.0,12345678901234567890],)"
                         R"("t":true,"u":null})"),
                     8);
    ASSERT_TRUE(value);
    EXPECT_EQ(toLocal(jsText(*value)),
              gbk(R"({"z":1,"a":"号\u200c","n":[1e+21,0,100,12345678901234567000],)"
                  R"("t":true,"u":null})"));
    EXPECT_DOUBLE_EQ(numberOf((*value)["n"][3]), 12345678901234567890.0);
    // Text that is not GBK's ASCII subset is converted; ASCII is not touched.
    EXPECT_EQ(toUtf8(gbk("粤")), "粤");
    EXPECT_EQ(toUtf8("plain"), "plain");
}

}  // namespace
}  // namespace yhz::json
