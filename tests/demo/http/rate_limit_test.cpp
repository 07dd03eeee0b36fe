#include <gtest/gtest.h>

#include "demo/http/rate_limit.h"

namespace yhz::web {
namespace {

using namespace std::chrono_literals;

TEST(AddressRate, ABurstThenASteadyRatePerAddress) {
    AddressRate::Clock::time_point now{};
    AddressRate rate({3, 2}, 100, [&] { return now; });
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(rate.take("10.0.0.1"));
    EXPECT_FALSE(rate.take("10.0.0.1"));
    EXPECT_TRUE(rate.take("10.0.0.2"));  // another address has its own bucket
    now += 500ms;                        // one more at 2 per second
    EXPECT_TRUE(rate.take("10.0.0.1"));
    EXPECT_FALSE(rate.take("10.0.0.1"));
    rate.giveBack("10.0.0.1");
    EXPECT_TRUE(rate.take("10.0.0.1"));
    now += 1h;  // never more than the burst
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(rate.take("10.0.0.1"));
    EXPECT_FALSE(rate.take("10.0.0.1"));
}

TEST(AddressRate, Ipv6ByItsSlash64LoopbackAsOneAndTheTableStaysBounded) {
    EXPECT_EQ(rateKey("2001:db8:1:2:aaaa::1"), rateKey("2001:db8:1:2:bbbb::2"));
    EXPECT_NE(rateKey("2001:db8:1:2::1"), rateKey("2001:db8:1:3::1"));
    // Any local program can bind any loopback address: they all count as one.
    EXPECT_EQ(rateKey("127.1.2.3"), rateKey("127.0.0.1"));
    EXPECT_EQ(rateKey("::ffff:127.200.0.9"), rateKey("127.0.0.1"));
    EXPECT_NE(rateKey("128.0.0.1"), rateKey("127.0.0.1"));
    EXPECT_EQ(rateKey("::ffff:10.1.2.3"), "10.1.2.3");
    EXPECT_NE(rateKey("10.1.2.3"), rateKey("10.1.2.4"));

    AddressRate::Clock::time_point now{};
    AddressRate rate({1, 1}, 4, [&] { return now; });
    for (int i = 0; i < 50; ++i)
        rate.take("10.0.1." + std::to_string(i));
    EXPECT_LE(rate.addresses(), 4u);
}

}  // namespace
}  // namespace yhz::web
