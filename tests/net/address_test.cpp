#include <gtest/gtest.h>

#include "net/address.h"

namespace yhz {
namespace {

TEST(Address, UpperCaseSchemeHostPortAndPath) {
    const std::string a = "HTTP://WWW.Example.COM:8080/a/B?x=1";
    EXPECT_EQ(addressHost(a), "www.example.com");
    EXPECT_EQ(addressHost(a, true), "www.example.com:8080");
    EXPECT_EQ(addressPort(a), 8080);
    EXPECT_EQ(addressPath(a), "/a/B?x=1");
}

TEST(Address, BareHostName) {
    EXPECT_EQ(addressHost("example.com"), "example.com");
    EXPECT_EQ(addressPort("example.com"), 80);
    EXPECT_EQ(addressPath("example.com"), "/");
}

TEST(Address, HttpsPorts) {
    EXPECT_EQ(addressPort("https://gd.example.cn"), 443);
    EXPECT_EQ(addressPath("https://gd.example.cn"), "/");
    EXPECT_EQ(addressPort("https://gd.example.cn:8443/x"), 8443);
    EXPECT_EQ(addressPort("HTTPS://gd.example.cn"), 443);
}

TEST(Address, ColonWithoutDigitsGivesPortZero) {
    EXPECT_EQ(addressPort("http://host:/path"), 0);
    EXPECT_EQ(addressPort("http://host:abc/path"), 0);
    // An absurd port saturates instead of overflowing.
    EXPECT_GT(addressPort("http://host:99999999999999999999/"), 0);
}

TEST(Address, HttpInsideThePathDoesNotMoveTheHost) {
    const std::string a = "http://relay.example.cn/go?to=http://other.cn/x";
    EXPECT_EQ(addressHost(a), "relay.example.cn");
    EXPECT_EQ(addressPath(a), "/go?to=http://other.cn/x");
}

TEST(Address, DegenerateInputsAnswerWithoutCrashing) {
    EXPECT_EQ(addressHost(""), "");
    EXPECT_EQ(addressPort(""), 80);
    EXPECT_EQ(addressPath(""), "/");
    EXPECT_EQ(addressHost("https://"), "");
    // A lead byte swallows the "/" that would end the host: no host at all.
    EXPECT_EQ(addressHost("\xC4"), "");
    EXPECT_EQ(addressHost("http://h\xC4"), "");
    EXPECT_EQ(addressPort("http://h\xC4"), 80);
}

}  // namespace
}  // namespace yhz
