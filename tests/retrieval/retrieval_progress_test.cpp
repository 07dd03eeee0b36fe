#include "retrieval/retrieval_progress.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace yhz {
namespace {

using State = RetrievalProgress::State;

TEST(RetrievalProgress, captionsThroughARun) {
    struct Case {
        RetrievalProgress progress;
        const char* caption;
    };
    const std::vector<Case> cases = {
        {{State::Idle, 3, 30, 90}, ""},
        {{State::Running, 0, 0, 0}, "号段：已取 0 页 0 条…"},
        {{State::Running, 3, 30, 90}, "号段：已取 3 页 30 条 / 共 90 条…"},
        {{State::Ended, 9, 90, 90}, "号段：完毕，共 9 页 90 条"},
        {{State::Ended, 0, 0, 0}, "号段：完毕，未取到数据"},
        {{State::EndedEarly, 2, 20, 90}, "号段：提前结束，取到 2 页 20 条"},
        {{State::Stopped, 2, 20, 90}, "号段：已停止，取到 2 页 20 条"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(retrievalCaption("号段", c.progress), c.caption);
    }
}

TEST(RetrievalProgress, aNewRunForgetsTheLastAndAKnownTotalStays) {
    RetrievalProgressMeter meter;
    meter.begin();
    meter.pageTaken(10, 25);
    meter.pageTaken(10, 0);
    RetrievalProgress p = meter.snapshot();
    EXPECT_EQ(p.state, State::Running);
    EXPECT_EQ(p.pages, 2);
    EXPECT_EQ(p.rows, 20);
    EXPECT_EQ(p.announced, 25);
    meter.end(State::Ended);
    EXPECT_EQ(meter.snapshot().state, State::Ended);

    meter.begin();
    p = meter.snapshot();
    EXPECT_EQ(p.state, State::Running);
    EXPECT_EQ(p.pages, 0);
    EXPECT_EQ(p.rows, 0);
    EXPECT_EQ(p.announced, 0);
}

// The run counts on its thread while the window reads on its own: every
// snapshot is one whole page further, never half of one.
TEST(RetrievalProgress, snapshotsAreWholePagesWhileAnotherThreadCounts) {
    RetrievalProgressMeter meter;
    meter.begin();
    std::jthread run([&] {
        for (int i = 0; i < 20000; ++i) {
            meter.pageTaken(5, 100000);
        }
        meter.end(State::Ended);
    });
    for (;;) {
        const RetrievalProgress p = meter.snapshot();
        ASSERT_EQ(p.rows, 5LL * p.pages);
        if (p.state == State::Ended) {
            EXPECT_EQ(p.pages, 20000);
            break;
        }
    }
}

}  // namespace
}  // namespace yhz
