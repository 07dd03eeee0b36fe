#include "json/number_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace yhz::json {
namespace {

std::string written(double v) {
    std::string out = "x";
    appendJsNumber(out, v);
    return out.substr(1);
}

TEST(NumberText, JsonNumbersAsAScriptEngineWritesThem) {
    EXPECT_EQ(written(0), "0");
    EXPECT_EQ(written(-0.0), "0");
    EXPECT_EQ(written(100), "100");
    EXPECT_EQ(written(-1.5), "-1.5");
    EXPECT_EQ(written(0.1), "0.1");
    EXPECT_EQ(written(123.456), "123.456");
    // Plain from 1e-6 up to below 1e21, exponents outside.
    EXPECT_EQ(written(0.000001), "0.000001");
    EXPECT_EQ(written(1e-7), "1e-7");
    EXPECT_EQ(written(-2.5e-8), "-2.5e-8");
    EXPECT_EQ(written(123456789012345678901.0), "123456789012345680000");
    EXPECT_EQ(written(1e21), "1e+21");
    EXPECT_EQ(written(1.5e300), "1.5e+300");
    EXPECT_EQ(written(std::numeric_limits<double>::denorm_min()), "5e-324");
    EXPECT_EQ(written(std::nan("")), "null");
    EXPECT_EQ(written(-std::numeric_limits<double>::infinity()), "null");
}

TEST(NumberText, ThirteenDigitTextsAndNumbersReadBack) {
    EXPECT_EQ(formatG13(125), "125");
    EXPECT_EQ(formatG13(12345678901234), "1.234567890123e+13");
    EXPECT_EQ(formatG13(3.14159265358979), "3.14159265359");
    EXPECT_EQ(formatG13(-0.25), "-0.25");

    EXPECT_DOUBLE_EQ(numberFromText(" \t42.5\t "), 42.5);
    EXPECT_DOUBLE_EQ(numberFromText("-1e3"), -1000);
    for (const char* notOne : {"", "  ", "12abc", "1 2", "0x10", "abc", "\n5"}) {
        EXPECT_EQ(numberFromText(notOne), 0) << notOne;
    }
}

}  // namespace
}  // namespace yhz::json
