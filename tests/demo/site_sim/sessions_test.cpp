#include <gtest/gtest.h>

#include "demo/site_sim/sessions.h"

namespace yhz::sim {
namespace {

using namespace std::chrono_literals;

TEST(Sessions, AFloodOfPageLoadsPushesOutOnlySessionsNeverUsed) {
    Sessions::Clock::time_point now{};
    Sessions sessions(100, std::chrono::minutes(30), [&] { return now; });
    // Real users: a page load, then the cookie comes back.
    std::vector<std::string> real;
    for (int i = 0; i < 50; ++i) {
        real.push_back(sessions.create("js-yc"));
        ASSERT_TRUE(sessions.valid(real.back(), "js-yc"));
    }
    const std::string waiting = sessions.create("bj");
    // 26000 page loads whose cookie never comes back.
    for (int i = 0; i < 26000; ++i) {
        now += 1ms;
        sessions.create("js-yc");
    }
    EXPECT_LE(sessions.size(), 100u);
    for (const std::string& id : real)
        EXPECT_TRUE(sessions.valid(id, "js-yc"));
    // A page load whose cookie has not come back yet is among those pushed out.
    EXPECT_FALSE(sessions.valid(waiting, "bj"));
}

TEST(Sessions, SessionsBelongToOneSiteAndEndWhenUnused) {
    Sessions::Clock::time_point now{};
    Sessions sessions(8, std::chrono::minutes(30), [&] { return now; });
    const std::string id = sessions.create("js-yc");
    EXPECT_FALSE(sessions.valid(id, "bj"));
    EXPECT_TRUE(sessions.valid(id, "js-yc"));
    EXPECT_FALSE(sessions.valid("", "js-yc"));
    now += std::chrono::minutes(31);
    EXPECT_FALSE(sessions.valid(id, "js-yc"));
    EXPECT_EQ(sessions.size(), 0u);
    // Established sessions beyond their share push out the least recently used.
    std::vector<std::string> ids;
    for (int i = 0; i < 7; ++i) {
        ids.push_back(sessions.create("js-yc"));
        now += 1ms;
        ASSERT_TRUE(sessions.valid(ids.back(), "js-yc"));
    }
    EXPECT_FALSE(sessions.valid(ids.front(), "js-yc"));
    EXPECT_TRUE(sessions.valid(ids.back(), "js-yc"));
}

}  // namespace
}  // namespace yhz::sim
