// The watch list against the relay of the service program on a loopback port,
// on a clock the tests move: a plate freed in the service's registry between
// two checks is told once; a check waits for a run of the plate list and
// holds to the cap of two with it; the list survives a restart, a torn write
// and a broken file.

#include "query/plate_watch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <fstream>

#include "base/control_names.h"
#include "holding_relay.h"
#include "plates/watch_file.h"
#include "service_client/service_client.h"
#include "support/loopback_service.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace yhz {
namespace {

using namespace std::chrono_literals;
using test::eventually;
namespace fs = std::filesystem;

class PlateWatchTest : public ::testing::Test {
protected:
    PlateWatchTest() { window_.addItem(control::kRelayChoice, gbk("   线路[ 1 ]")); }
    ~PlateWatchTest() override { tasks_.shutdown(); }

    QueryRun& makeQuery(std::string relay, std::function<std::string(std::stop_token)> token) {
        QueryServices services;
        services.accessToken = std::move(token);
        services.userId = "tester";
        services.relayAddress = [relay] { return relay; };
        queries_.push_back(
            std::make_unique<QueryRun>(window_, tasks_, stores_, std::move(services)));
        return *queries_.back();
    }

    PlateWatch& makeWatch(QueryRun& query) {
        WatchServices services;
        services.file = file_;
        services.now = [this] { return PlateWatch::Clock::time_point{} + minutes_.load() * 1min; };
        services.stamp = [] { return std::string("now"); };
        services.notify = [this](const std::vector<std::string>& plates) {
            const std::scoped_lock lock(mutex_);
            told_.push_back(plates);
        };
        services.log = [this](const std::string& line) {
            const std::scoped_lock lock(mutex_);
            log_.push_back(localToUtf8(line));
        };
        watches_.push_back(std::make_unique<PlateWatch>(query, tasks_, std::move(services)));
        watches_.back()->start();
        return *watches_.back();
    }

    // Moves the clock on and waits for the check it brings.
    bool passMinutes(PlateWatch& watch, int minutes) {
        const int before = watch.status().checksDone;
        minutes_ += minutes;
        watch.poke();
        return eventually([&] { return watch.status().checksDone > before; });
    }

    std::vector<std::vector<std::string>> told() {
        const std::scoped_lock lock(mutex_);
        return told_;
    }
    std::vector<std::string> log() {
        const std::scoped_lock lock(mutex_);
        return log_;
    }
    static std::vector<PlateRow> rows(std::initializer_list<std::pair<const char*, int>> plates) {
        std::vector<PlateRow> out;
        for (const auto& [plate, status] : plates) {
            out.emplace_back().plate = gbk(plate);
            out.back().status = status;
        }
        return out;
    }
    std::string result(PlateWatch& watch, int row) {
        return localToUtf8(watch.store()->cellText(row, WatchRow::kResult));
    }

    testing::TempDir folder_{"yhz-watch"};
    fs::path file_ = folder_.path() / "watch.txt";
    test::RecordingWindow window_;
    BackgroundTaskOwner tasks_;
    QueryStores stores_{std::make_shared<PlateStore>(), std::make_shared<CellColourTable>(),
                        std::make_shared<ExpiredPlateSet>()};
    std::atomic<int> minutes_{0};
    std::mutex mutex_;
    std::vector<std::vector<std::string>> told_;  // GBK
    std::vector<std::string> log_;                // UTF-8
    std::vector<std::unique_ptr<QueryRun>> queries_;
    std::vector<std::unique_ptr<PlateWatch>> watches_;
};

TEST_F(PlateWatchTest, APlateFreedBetweenTwoChecksIsToldOnceAndTheListOutlivesARestart) {
    test::LoopbackService service(0ms);
    ASSERT_TRUE(service.started()) << service.error();
    service::Registry& registry = service.registry();
    ASSERT_TRUE(registry.markTaken("粤B66601") && registry.markTaken("粤B66602"));
    ASSERT_EQ(registry.lookupPlate("粤B66603"), service::Registry::Plate::Free);
    auto client = std::make_shared<ServiceClient>(service.base(), HttpLimits{});
    QueryRun& query = makeQuery(service.relay(), [client](std::stop_token stop) {
        return client->accessToken("tester", stop);
    });

    PlateWatch& watch = makeWatch(query);
    // 66603 was free on the list already: being free still is no news.
    const PlateWatch::Added added = watch.add(
        rows({{"粤B66601", 0}, {"粤B66602", 2}, {"粤B66603", 1}, {"粤B66601", 0}, {"", 0}}));
    EXPECT_EQ(added.added, 3);
    EXPECT_EQ(added.already, 1);
    EXPECT_EQ(added.refused, 1);
    EXPECT_EQ(log().back(),
              "加入关注：新增3个，已在列表中1个，1个不是号码或超出上限10000个，未加入，共3个");
    watch.setInterval(10min);
    ASSERT_TRUE(passMinutes(watch, 10));
    EXPECT_EQ(result(watch, 0), "已占用");
    EXPECT_EQ(watch.store()->cellText(0, WatchRow::kCheckedAt), "now");
    EXPECT_TRUE(told().empty());

    // Freed in the service's own data.
    ASSERT_TRUE(registry.markFree("粤B66601"));
    minutes_ += 9;  // not due yet: nothing happens
    watch.poke();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(watch.status().checksDone, 1);
    ASSERT_TRUE(passMinutes(watch, 1));
    ASSERT_EQ(told().size(), 1u);
    EXPECT_EQ(told()[0], std::vector<std::string>{gbk("粤B66601")});
    EXPECT_EQ(result(watch, 0), "可用");
    const std::vector<std::string> lines = log();
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "关注的号码 粤B66601 已可用"), 1);
    ASSERT_TRUE(passMinutes(watch, 10));
    EXPECT_EQ(told().size(), 1u);

    // Off: the clock may run, no check comes; "立即检查" still does one.
    watch.setInterval(0min);
    minutes_ += 120;
    watch.poke();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(watch.status().checksDone, 3);
    watch.checkNow();
    ASSERT_TRUE(eventually([&] { return watch.status().checksDone == 4; }));

    // Removing writes the file; a write cut short beside it changes nothing;
    // the next start has the list, every plate unchecked.
    watch.store()->setChecked(1, true);
    EXPECT_EQ(watch.removeChecked(), 1);
    ASSERT_TRUE(eventually([&] { return !watch.saving(); }));
    std::ofstream(file_.string() + ".tmp77-3", std::ios::binary) << gbk("粤B6");
    PlateWatch& again = makeWatch(query);
    EXPECT_EQ(again.store()->plates(),
              (std::vector<std::string>{gbk("粤B66601"), gbk("粤B66603")}));
    EXPECT_EQ(result(again, 1), "未检查");
    EXPECT_FALSE(fs::exists(file_.string() + ".tmp77-3"));
}

TEST_F(PlateWatchTest, ACheckWaitsForARunOfTheListAndSharesTheCapOfTwo) {
    test::HoldingRelay relay("ok");
    // Tokens numbered in the order they are fetched.
    std::atomic<int> fetched = 0;
    QueryRun& query = makeQuery(relay.address(), [&fetched](std::stop_token) {
        const std::string n = std::to_string(++fetched);
        return std::string(32 - n.size(), '0') + n;
    });
    auto tokenOf = [&](int k) {
        return std::stoi(relay.body(k).substr(relay.body(k).find("Token=") + 6, 32));
    };
    for (const char* plate : {"粤B20001", "粤B20002", "粤B20003"}) {
        stores_.plates->appendNumbered(gbk(plate), "2024-01-02", 1);
    }
    PlateWatch& watch = makeWatch(query);
    watch.add(rows({{"粤B30001", 0}, {"粤B30002", 0}, {"粤B30003", 0}}));
    auto plateOf = [&](int k) { return relay.body(k).substr(relay.body(k).find("%A4") + 3, 6); };

    // A run goes on: the check asks nothing until it has ended.
    relay.hold();
    query.startClicked();
    ASSERT_TRUE(relay.waitInFlight(2));
    watch.checkNow();
    ASSERT_TRUE(eventually([&] { return watch.status().checking; }));
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(relay.received(), 2);
    relay.release();
    ASSERT_TRUE(eventually([&] { return watch.status().checksDone == 1; }));
    ASSERT_EQ(relay.received(), 6);
    for (int k = 0; k < 6; ++k) {
        EXPECT_EQ(plateOf(k)[1], k < 3 ? '2' : '3') << k;
    }

    // A run that starts during a check: the two asked finish, the run takes
    // the slots, and the check goes on after it with fresh tokens.
    relay.hold();
    watch.checkNow();
    ASSERT_TRUE(relay.waitInFlight(2));
    query.startClicked();
    relay.release();
    ASSERT_TRUE(eventually([&] { return watch.status().checksDone == 2; }));
    ASSERT_EQ(relay.received(), 12);
    for (int k = 6; k < 11; ++k) {
        EXPECT_EQ(plateOf(k)[1], k < 8 ? '3' : '2') << k;
    }
    EXPECT_EQ(plateOf(11), "B30003");
    // Fetched after the run's own: what the check held when it paused went.
    EXPECT_GT(tokenOf(11), tokenOf(10));
    EXPECT_EQ(relay.mostInFlight(), 2);
    EXPECT_EQ(result(watch, 2), "可用");
}

// A file the program could not have written: one log line, the file kept
// under another name, and a new one written on the next change.
TEST_F(PlateWatchTest, ABrokenFileIsSetAsideWithOneLogLineAndNeverWrittenOver) {
    test::HoldingRelay relay("ok");
    QueryRun& query =
        makeQuery(relay.address(), [](std::stop_token) { return std::string(32, 'a'); });
    const std::string broken = gbk("粤B12345\r\n粤B1");
    std::ofstream(file_, std::ios::binary) << broken;
    PlateWatch& watch = makeWatch(query);
    EXPECT_EQ(watch.store()->rowCount(), 0);
    ASSERT_EQ(log().size(), 1u);
    EXPECT_EQ(
        log()[0],
        "关注列表文件“watch.txt”无法读取，已改名保留为“watch.txt.refused-1”，关注列表从空开始");
    EXPECT_EQ(testing::readFile(file_.string() + ".refused-1"), broken);

    watch.add(rows({{"粤B12345", 0}}));
    ASSERT_TRUE(eventually([&] { return !watch.saving(); }));
    EXPECT_EQ(testing::readFile(file_), gbk("粤B12345\r\n"));
    EXPECT_EQ(testing::readFile(file_.string() + ".refused-1"), broken);
}

}  // namespace
}  // namespace yhz
