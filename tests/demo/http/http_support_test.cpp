#include <gtest/gtest.h>

#include "demo/http/http_support.h"

namespace yhz::web {
namespace {

TEST(DemoForm, DecodesPiecesAndRefusesBrokenOnes) {
    auto form = parseForm("a=1&b=x+y%21&&c=&a=2&");
    ASSERT_TRUE(form);
    ASSERT_EQ(form->size(), 4u);
    EXPECT_EQ(*findField(*form, "a"), "1");
    EXPECT_EQ(*findField(*form, "b"), "x y!");
    EXPECT_EQ(*findField(*form, "c"), "");
    EXPECT_EQ(countField(*form, "a"), 2u);
    EXPECT_EQ(findField(*form, "d"), nullptr);
    EXPECT_TRUE(parseForm("")->empty());
    for (const char* bad : {"a", "=1", "a=%4", "a=%zz", "%=1", "a=1&b"}) {
        EXPECT_FALSE(parseForm(bad).has_value()) << bad;
    }
}

TEST(DemoHttp, HostsAndNumbers) {
    EXPECT_EQ(hostWithoutPort("JS-YC.localhost:18443"), "js-yc.localhost");
    EXPECT_EQ(hostWithoutPort("localhost."), "localhost");
    EXPECT_EQ(hostWithoutPort("[::1]:80"), "[::1]");
    EXPECT_EQ(parseNumber("18080", 0, 65535), 18080);
    EXPECT_EQ(parseNumber("-3", -5, 5), -3);
    for (const char* bad : {"", "-", "1x", "70000", "9999999999999"}) {
        EXPECT_FALSE(parseNumber(bad, 0, 65535).has_value()) << bad;
    }
    EXPECT_EQ(randomHex(true).find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_NE(randomHex(false), randomHex(false));
}

}  // namespace
}  // namespace yhz::web
