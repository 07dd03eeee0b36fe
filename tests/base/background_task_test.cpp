#include "base/background_task.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>

#include "base/working_set_trimmer.h"

namespace yhz {
namespace {

using namespace std::chrono_literals;

TEST(BackgroundTaskOwner, RunsWorkWithItsOwnCopiesOfTheTexts) {
    BackgroundTaskOwner owner;
    std::string seen;
    {
        TaskTexts texts{"address", "cookie", "form"};
        ASSERT_TRUE(owner.start(
            "copy",
            [&](std::stop_token, const TaskTexts& t) { seen = t[0] + "|" + t[1] + "|" + t[2]; },
            texts));
        texts[0] = "changed after the start";
    }
    ASSERT_TRUE(owner.waitIdle(5s));
    EXPECT_EQ(seen, "address|cookie|form");
    EXPECT_FALSE(owner.start(
        "seven", [](std::stop_token, const TaskTexts&) {}, TaskTexts(7, "x")));
}

TEST(BackgroundTaskOwner, ShutdownStopsAndJoinsTasksThatListen) {
    BackgroundTaskOwner owner;
    std::atomic<int> stopped{0};
    for (int k = 0; k < 8; ++k) {
        ASSERT_TRUE(owner.start("listener", [&](std::stop_token stop) {
            std::mutex m;
            std::condition_variable_any cv;
            std::unique_lock lock(m);
            cv.wait(lock, stop, [] { return false; });
            stopped.fetch_add(1);
        }));
    }
    EXPECT_EQ(owner.running(), 8);
    const auto begun = std::chrono::steady_clock::now();
    const ShutdownReport report = owner.shutdown(2s);
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 1s);
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(report.joined, 8);
    EXPECT_EQ(stopped.load(), 8);
    EXPECT_EQ(owner.running(), 0);
    // After the end of the run nothing new starts.
    EXPECT_FALSE(owner.start("late", [](std::stop_token) {}));
}

TEST(BackgroundTaskOwner, ReportsATaskThatIgnoresTheStopAndJoinsItLater) {
    std::atomic<bool> release{false};
    std::atomic<bool> ended{false};
    {
        BackgroundTaskOwner owner;
        ASSERT_TRUE(owner.start("deaf", [&](std::stop_token) {
            while (!release.load()) {
                std::this_thread::sleep_for(1ms);
            }
            ended = true;
        }));
        const ShutdownReport report = owner.shutdown(100ms);
        ASSERT_EQ(report.abandoned, std::vector<std::string>{"deaf"});
        EXPECT_FALSE(ended.load());
        release = true;
        // The owner's end waits for the task it could not stop in time.
    }
    EXPECT_TRUE(ended.load());
}

TEST(BackgroundTaskOwner, FinishedTasksAreReapedAndAThrowingTaskEnds) {
    BackgroundTaskOwner owner;
    for (int k = 0; k < 200; ++k) {
        ASSERT_TRUE(owner.start("short", [](std::stop_token) {}));
    }
    ASSERT_TRUE(
        owner.start("throws", [](std::stop_token) -> void { throw std::runtime_error("x"); }));
    ASSERT_TRUE(owner.waitIdle(10s));
    EXPECT_EQ(owner.running(), 0);
    EXPECT_TRUE(owner.shutdown(1s).clean());
}

TEST(WorkingSetTrimmer, OneThreadTrimsOncePerRequestUntilStopped) {
    std::atomic<int> trims{0};
    WorkingSetTrimmer trimmer([&] { trims.fetch_add(1); });
    BackgroundTaskOwner owner;
    ASSERT_TRUE(owner.start("trim", [&](std::stop_token stop) { trimmer.run(stop); }));
    for (int k = 0; k < 3; ++k) {
        trimmer.request();
        const auto until = std::chrono::steady_clock::now() + 5s;
        while (trimmer.trimsDone() < k + 1 && std::chrono::steady_clock::now() < until) {
            std::this_thread::sleep_for(1ms);
        }
    }
    EXPECT_EQ(trims.load(), 3);
    EXPECT_TRUE(owner.shutdown(1s).clean());
    EXPECT_EQ(trims.load(), 3);
}

}  // namespace
}  // namespace yhz
