// The figures and the text of the query's progress bar.

#include "query/query_progress.h"

#include <gtest/gtest.h>

namespace yhz {
namespace {

using namespace std::chrono_literals;
using Clock = QueryProgress::Clock;

TEST(QueryProgress, RateAndTimeLeftThroughARun) {
    const Clock::time_point start = Clock::now();
    struct Case {
        const char* what;
        QueryProgress progress;
        Clock::duration elapsed;
        double perMinute;
        std::optional<std::chrono::seconds> left;
        const char* caption;
    };
    const Case cases[] = {
        {"no run yet", {}, 0s, 0, std::nullopt, "0/0  0 个/分  剩余 --:--"},
        {"started, nothing back",
         {.total = 40, .startedAt = start, .endedAt = {}},
         5s,
         0,
         std::nullopt,
         "0/40  0 个/分  剩余 --:--"},
        {"a quarter after 30 s",
         {.total = 40, .done = 10, .startedAt = start, .endedAt = {}},
         30s,
         20,
         90s,
         "10/40  20 个/分  剩余 1:30"},
        {"slow and long",
         {.total = 10000, .done = 1, .startedAt = start, .endedAt = {}},
         2s,
         30,
         19998s,
         "1/10000  30 个/分  剩余 5:33:18"},
        // The figures of an ended run are those of its end, however late read.
        {"all done",
         {.total = 40, .done = 40, .startedAt = start, .endedAt = start + 60s},
         600s,
         40,
         0s,
         "40/40  40 个/分  剩余 0:00"},
        {"stopped half way",
         {.total = 40, .done = 20, .startedAt = start, .endedAt = start + 60s},
         600s,
         20,
         std::nullopt,
         "20/40  20 个/分  剩余 --:--"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const ProgressFigures figures = progressFigures(c.progress, start + c.elapsed);
        EXPECT_DOUBLE_EQ(figures.perMinute, c.perMinute);
        EXPECT_EQ(figures.left, c.left);
        EXPECT_EQ(progressCaption(c.progress, start + c.elapsed), c.caption);
    }
}

TEST(QueryProgress, ClockGoingBackOrMoreDoneThanTotalStaysSane) {
    const Clock::time_point start = Clock::now();
    const QueryProgress early{.total = 5, .done = 3, .startedAt = start, .endedAt = {}};
    EXPECT_EQ(progressFigures(early, start - 1s).perMinute, 0);
    EXPECT_FALSE(progressFigures(early, start - 1s).left.has_value());
    const QueryProgress over{.total = 2, .done = 3, .startedAt = start, .endedAt = {}};
    EXPECT_EQ(progressFigures(over, start + 60s).left, 0s);
}

}  // namespace
}  // namespace yhz
