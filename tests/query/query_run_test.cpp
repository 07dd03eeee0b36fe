// Query runs against the real relay of the service program on a loopback
// port, and against small relays that hold, fail or garble their answers.

#include "query/query_run.h"
#include "query/query_request.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>
#include <thread>

#include "base/background_task.h"
#include "base/control_names.h"
#include "holding_relay.h"
#include "plates/list_operations.h"
#include "service_client/service_client.h"
#include "support/loopback.h"
#include "support/loopback_service.h"
#include "support/recording_window.h"
#include "support/scripted_server.h"
#include "text/encoding.h"

namespace yhz {
namespace {

using namespace std::chrono_literals;
using test::eventually;
using test::HoldingRelay;
using test::RecordingWindow;

const std::string kLabelRemaining(control::kRemainingLabel);
const std::string kLabelAvailable(control::kAvailableLabel);
const std::string kStart(control::kStartQueryButton);
const std::string kStop(control::kStopQueryButton);
const std::string kGoodToken(32, 'a');

class QueryRunTest : public ::testing::Test {
protected:
    QueryRunTest() {
        window_.addItem(control::kRelayChoice, gbk("   线路[ 1 ]"));
        window_.enabled[kStart] = true;
        window_.enabled[kStop] = false;
    }
    // Every thread has ended before the runs and stores go.
    ~QueryRunTest() override { tasks_.shutdown(); }

    void addPlates(std::initializer_list<const char*> plates) {
        for (const char* plate : plates) {
            stores_.plates->appendNumbered(gbk(plate), "2024-01-02", 1);
        }
    }

    QueryRun& makeRun(
        std::string relay,
        std::function<std::string(std::stop_token)> token =
            [](std::stop_token) { return kGoodToken; },
        std::optional<HttpClient> relayClient = std::nullopt) {
        QueryServices services;
        services.relayClient = std::move(relayClient);
        services.accessToken = std::move(token);
        services.userId = "tester";
        services.relayAddress = [relay] { return relay; };
        services.trimWorkingSet = [this] { ++trims_; };
        services.log = [this](const std::string& line) {
            const std::scoped_lock lock(logMutex_);
            log_.push_back(localToUtf8(line));
        };
        // Earlier runs stay alive: their last threads may still be ending.
        runs_.push_back(std::make_unique<QueryRun>(window_, tasks_, stores_, std::move(services)));
        return *runs_.back();
    }

    // Waits for the run's closing message; the count of messages so far.
    bool ended(size_t messages = 1) {
        return eventually([&] { return window_.messagesSoFar().size() >= messages; });
    }

    std::optional<ColourRef> background(int row) const {
        return stores_.plates->plateBackground(row);
    }
    std::string column2(int row) const { return stores_.plates->cellText(row, PlateRow::kDate); }
    std::int32_t status(int row) const { return stores_.plates->status(row); }

    RecordingWindow window_;
    BackgroundTaskOwner tasks_;
    std::shared_ptr<ExpiredPlateSet> expired_ = std::make_shared<ExpiredPlateSet>();
    QueryStores stores_{std::make_shared<PlateStore>(), std::make_shared<CellColourTable>(),
                        expired_};
    std::atomic<int> trims_{0};
    std::vector<std::unique_ptr<QueryRun>> runs_;
    std::mutex logMutex_;
    std::vector<std::string> log_;  // UTF-8

    std::string lastLogLine() {
        const std::scoped_lock lock(logMutex_);
        return log_.empty() ? std::string() : log_.back();
    }
};

TEST(QueryRequest, BodyFieldsTypeAndAnswers) {
    EXPECT_EQ(plateTypeCode(gbk("粤B12345")), "02");
    EXPECT_EQ(plateTypeCode(gbk("粤BD12345")), "52");
    EXPECT_EQ(plateTypeCode(gbk("粤B1234")), "52");
    EXPECT_EQ(queryBody(gbk("粤B12345"), "u-1", "T0K", 0),
              "hphm=%E7%B2%A4B12345&hpzl=02&id=u-1&Token=T0K&hphma=%E7%B2%A4B&line=1");
    EXPECT_EQ(queryBody(gbk("粤BD12345"), "u", "t", -1),
              "hphm=%E7%B2%A4BD12345&hpzl=52&id=u&Token=t&hphma=%E7%B2%A4B&line=0");
    EXPECT_EQ(queryBody("", "u", "t", 2), "hphm=&hpzl=52&id=u&Token=t&hphma=&line=3");

    EXPECT_EQ(relayAnswer(""), RelayAnswer::Failed);
    EXPECT_EQ(relayAnswer("ok"), RelayAnswer::Available);
    EXPECT_EQ(relayAnswer(gbk("已占用")), RelayAnswer::Occupied);
    for (const char* other : {"OK", "ok\n", " ok", "已占用"}) {
        EXPECT_EQ(relayAnswer(other), RelayAnswer::Other) << other;  // the last is UTF-8
    }
}

// The relay of the service program, its registry seeded by the test.
class RealRelayTest : public QueryRunTest {
protected:
    static void SetUpTestSuite() {
        service_ = new test::LoopbackService(0ms);
        ASSERT_TRUE(service_->started()) << service_->error();
        service::Registry& registry = service_->registry();
        ASSERT_TRUE(registry.markTaken("粤B22222"));
        // Some demo plates are taken; pick free ones of both lengths.
        for (int n = 12345; n < 12400 && (free8_.empty() || free9_.empty()); ++n) {
            const std::string short8 = "粤B" + std::to_string(n);
            const std::string long9 = "粤BD" + std::to_string(n);
            if (free8_.empty() && registry.lookupPlate(short8) == service::Registry::Plate::Free)
                free8_ = short8;
            if (free9_.empty() && registry.lookupPlate(long9) == service::Registry::Plate::Free)
                free9_ = long9;
        }
        ASSERT_FALSE(free8_.empty() || free9_.empty());
    }
    static void TearDownTestSuite() { delete service_; }
    static std::string base() { return service_->base(); }

    QueryRun& makeRealRun() {
        auto client = std::make_shared<ServiceClient>(base(), HttpLimits{});
        return makeRun(base() + "/relay", [client](std::stop_token stop) {
            return client->accessToken("tester", stop);
        });
    }

    static inline test::LoopbackService* service_ = nullptr;
    static inline std::string free8_;
    static inline std::string free9_;
};

TEST_F(RealRelayTest, FreeTakenAndExpiredRowsInOneRunThenASecondRun) {
    addPlates({free8_.c_str(), "粤B22222", "粤B33333", free9_.c_str()});
    expired_->append(gbk("粤B33333 2024-01-01"));
    QueryRun& run = makeRealRun();
    run.startClicked();
    EXPECT_FALSE(window_.isEnabled(kStart));
    ASSERT_TRUE(ended());

    EXPECT_EQ(background(0), kColourGreen);
    EXPECT_EQ(status(0), 1);
    EXPECT_EQ(background(1), kColourRed);
    EXPECT_EQ(status(1), 2);
    EXPECT_EQ(background(2), kColourBlue);
    EXPECT_EQ(status(2), 0);
    EXPECT_EQ(background(3), kColourGreen);
    EXPECT_EQ(column2(1), "2024-01-02");
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(window_.captionOf(kLabelAvailable), "2");
    EXPECT_EQ(run.availableCount(), 2);
    const QueryProgress progress = run.progress();
    EXPECT_EQ(progress.total, 4);
    EXPECT_EQ(progress.done, 4);
    EXPECT_TRUE(progress.endedAt.has_value());
    EXPECT_TRUE(window_.isEnabled(kStart));
    EXPECT_FALSE(window_.isEnabled(kStop));
    const MessageRequest said = window_.messagesSoFar().at(0);
    EXPECT_EQ(said.text, gbk("查询结束！"));
    EXPECT_EQ(said.caption, gbk("温馨提示："));
    EXPECT_EQ(said.icon, MessageIcon::Information);
    EXPECT_EQ(lastLogLine(), "查询结束！共4个：可用2个，占用1个，逾期1个，失败0个");

    // A second run starts from nothing: colours cleared, every row asked again.
    stores_.colours->setCellColour(0, 2, kColourBlack, kColourRed);
    expired_->clear();
    run.startClicked();
    EXPECT_FALSE(stores_.colours->entry(0, 2).has_value());
    ASSERT_TRUE(ended(2));
    EXPECT_EQ(background(2), kColourGreen);
    EXPECT_EQ(status(2), 1);
    EXPECT_EQ(window_.captionOf(kLabelAvailable), "3");
}

TEST_F(QueryRunTest, RelayDownGarbledOrWrongTokenMarksRowsAndEndsTheRun) {
    addPlates({"粤B12345", "粤B22222"});
    makeRun("http://127.0.0.1:" + std::to_string(test::closedPort()) + "/relay").startClicked();
    ASSERT_TRUE(ended(1));
    for (int row : {0, 1}) {
        EXPECT_EQ(column2(row), gbk("Err.失败"));
        EXPECT_EQ(background(row), kColourGrey);
        EXPECT_EQ(status(row), 0);
    }
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(lastLogLine(), "查询结束！共2个：可用0个，占用0个，逾期0个，失败2个");

    // An error page is shown as the relay sent it, status 500 or not.
    HoldingRelay broken(gbk("服务器错误"), 500);
    makeRun(broken.address()).startClicked();
    ASSERT_TRUE(ended(2));
    EXPECT_EQ(column2(0), gbk("服务器错误"));
    EXPECT_EQ(background(0), kColourGrey);

    HoldingRelay shouting("OK\r\n");
    makeRun(shouting.address()).startClicked();
    ASSERT_TRUE(ended(3));
    EXPECT_EQ(column2(1), "OK\r\n");
    EXPECT_EQ(status(1), 0);

    // A token of the wrong length sends nothing.
    HoldingRelay relay("ok");
    makeRun(relay.address(), [](std::stop_token) { return std::string(31, 'a'); }).startClicked();
    ASSERT_TRUE(ended(4));
    EXPECT_EQ(relay.received(), 0);
    EXPECT_EQ(column2(0), gbk("Token错误"));
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(lastLogLine(), "查询结束！共2个：可用0个，占用0个，逾期0个，失败2个");

    // No relay address at all: every row failed.
    makeRun("").startClicked();
    ASSERT_TRUE(ended(5));
    EXPECT_EQ(column2(1), gbk("Err.失败"));
}

TEST_F(QueryRunTest, RequestCarriesTheFormAndNothingElse) {
    addPlates({"粤BD12345"});
    window_.addItem(control::kRelayChoice, gbk("   线路[ 2 ]"));
    window_.setSelection(control::kRelayChoice, 1);
    HoldingRelay relay("ok");
    makeRun(relay.address()).startClicked();
    ASSERT_TRUE(ended());
    ASSERT_EQ(relay.received(), 1);
    EXPECT_EQ(relay.body(0), "hphm=%E7%B2%A4BD12345&hpzl=52&id=tester&Token=" + kGoodToken +
                                 "&hphma=%E7%B2%A4B&line=2");
    const httplib::Headers headers = relay.headers(0);
    EXPECT_EQ(headers.count("Cookie"), 0u);
    EXPECT_EQ(headers.find("Content-Type")->second, "application/x-www-form-urlencoded");
}

TEST_F(QueryRunTest, NeverMoreThanTwoInFlightAndStopEndsTheRunAtOnce) {
    addPlates({"粤B10001", "粤B10002", "粤B10003", "粤B10004", "粤B10005"});
    HoldingRelay relay("ok");
    relay.hold();
    QueryRun& run = makeRun(relay.address());
    run.startClicked();
    ASSERT_TRUE(relay.waitInFlight(2));
    std::this_thread::sleep_for(300ms);  // room for a third, which must not come
    EXPECT_EQ(relay.received(), 2);
    EXPECT_GT(trims_.load(), 0);
    EXPECT_EQ(run.progress().total, 5);
    EXPECT_EQ(run.progress().done, 0);
    EXPECT_FALSE(run.progress().endedAt.has_value());

    run.stopClicked();
    EXPECT_FALSE(window_.isEnabled(kStop));
    // The end message comes while both requests are still held.
    ASSERT_TRUE(ended());
    EXPECT_EQ(relay.received(), 2);
    EXPECT_TRUE(window_.isEnabled(kStart));
    // The end line waits for the two answers still to come, and counts them.
    EXPECT_EQ(lastLogLine(), "");

    relay.release();
    ASSERT_TRUE(eventually([&] { return run.activeWorkers() == 0; }));
    ASSERT_TRUE(eventually([&] { return !lastLogLine().empty(); }));
    EXPECT_EQ(lastLogLine(), "查询停止！已查询2/5个：可用2个，占用0个，逾期0个，失败0个");
    EXPECT_EQ(background(0), kColourGreen);
    EXPECT_EQ(background(1), kColourGreen);
    EXPECT_FALSE(background(2).has_value());
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "3");
    EXPECT_EQ(window_.captionOf(kLabelAvailable), "2");
    EXPECT_EQ(run.progress().done, 2);
    EXPECT_TRUE(run.progress().endedAt.has_value());
    EXPECT_EQ(relay.mostInFlight(), 2);
}

TEST_F(QueryRunTest, LateWorkersOfAStoppedRunLeaveTheNewRunsCountersAlone) {
    addPlates({"粤B10001", "粤B10002", "粤B10003"});
    HoldingRelay relay("ok");
    relay.hold();
    QueryRun& run = makeRun(relay.address());
    run.startClicked();
    ASSERT_TRUE(relay.waitInFlight(2));
    run.stopClicked();
    ASSERT_TRUE(ended());

    // The new run waits for a free slot: the old run's two hold both.
    run.startClicked();
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "3");
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(relay.received(), 2);
    EXPECT_EQ(run.progress().done, 0);

    relay.release();
    ASSERT_TRUE(ended(2));
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(window_.captionOf(kLabelAvailable), "3");
    EXPECT_EQ(run.availableCount(), 3);
    EXPECT_EQ(run.progress().done, 3);
    EXPECT_EQ(relay.received(), 5);
    EXPECT_EQ(relay.mostInFlight(), 2);
}

TEST_F(QueryRunTest, EmptyListEndsAtOnceAndProgramEndStopsARun) {
    HoldingRelay relay("ok");
    makeRun(relay.address()).startClicked();
    ASSERT_TRUE(ended());
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(window_.captionOf(kLabelAvailable), "0");

    // Ending the program mid-run: the held requests are abandoned, every
    // thread joins, and no end message is shown.
    addPlates({"粤B10001", "粤B10002", "粤B10003"});
    relay.hold();
    makeRun(relay.address()).startClicked();
    ASSERT_TRUE(relay.waitInFlight(2));
    const ShutdownReport report = tasks_.shutdown(std::chrono::milliseconds(2000));
    EXPECT_TRUE(report.clean());
    EXPECT_EQ(window_.messagesSoFar().size(), 1u);
    relay.release();
}

// Rows deleted and imported while two are being asked about: every answer
// lands on the plate it was about, wherever that row went, or nowhere; an
// answer cut at a zero byte still reads "ok"; a second run takes the first
// run's failure texts away.
TEST_F(QueryRunTest, AnswersLandOnThePlateAskedAboutWhateverTheListDid) {
    addPlates({"粤B10001", "粤B10002", "粤B10003", "粤B10004"});
    HoldingRelay relay(std::string("ok\0x", 4));
    relay.hold();
    QueryRun& run = makeRun(relay.address());
    run.startClicked();
    ASSERT_TRUE(relay.waitInFlight(2));  // 10001 and 10002
    stores_.plates->setChecked(0, true);
    deleteCheckedPlates(*stores_.plates);  // 10001 goes, the rest move up
    stores_.plates->appendNumbered(gbk("粤B20001"), gbk("由外部导入"), 0);
    relay.release();
    ASSERT_TRUE(ended());

    std::set<std::string> asked;
    for (int k = 0; k < relay.received(); ++k) {
        const std::string body = relay.body(k);
        asked.insert(body.substr(body.find("%A4") + 3, 6));  // after the province
    }
    for (int row = 0; row < stores_.plates->rowCount(); ++row) {
        const std::string plate = stores_.plates->cellText(row, PlateRow::kPlate).substr(2);
        EXPECT_EQ(status(row) != 0, asked.count(plate) == 1) << plate;
        if (status(row) != 0) {
            EXPECT_EQ(status(row), 1) << plate;
            EXPECT_EQ(background(row), kColourGreen) << plate;
        }
    }
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(run.availableCount(), relay.received() - 1);  // 10001's row was gone
    EXPECT_EQ(column2(3), gbk("由外部导入"));

    // A run with a bad token, then a good one: the failure text goes.
    makeRun(relay.address(), [](std::stop_token) { return std::string("short"); }).startClicked();
    ASSERT_TRUE(ended(2));
    EXPECT_EQ(column2(0), gbk("Token错误"));
    makeRun(relay.address()).startClicked();
    ASSERT_TRUE(ended(3));
    EXPECT_EQ(column2(0), "");
    EXPECT_EQ(background(0), kColourGreen);
}

// "继续查询" after a stop and after failures: only the rows without a final
// answer are asked about, the others keep status, colour and text, and the
// counters and the end line count only the rows asked.
TEST_F(QueryRunTest, GoingOnAsksOnlyTheUnfinishedRowsAndLeavesTheRestAlone) {
    const std::string kContinue(control::kContinueQueryButton);
    addPlates({"粤B10001", "粤B10002", "粤B10003", "粤B10004", "粤B10005", "粤B10006"});
    expired_->append(gbk("粤B10003"));
    HoldingRelay first("ok");
    first.hold();
    QueryRun& run = makeRun(first.address());
    run.startClicked();
    EXPECT_FALSE(window_.isEnabled(kContinue));
    ASSERT_TRUE(first.waitInFlight(2));
    run.stopClicked();
    ASSERT_TRUE(ended());
    EXPECT_TRUE(window_.isEnabled(kContinue));
    first.release();
    ASSERT_TRUE(eventually([&] { return run.activeWorkers() == 0; }));

    // The relay is down: the expired row turns blue unasked, the rest fail.
    QueryRun& down = makeRun("http://127.0.0.1:" + std::to_string(test::closedPort()) + "/relay");
    down.continueClicked();
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "4");
    ASSERT_TRUE(ended(2));
    EXPECT_EQ(lastLogLine(), "查询结束！共4个：可用0个，占用0个，逾期1个，失败3个");
    EXPECT_EQ(background(2), kColourBlue);
    EXPECT_EQ(column2(3), gbk("Err.失败"));

    HoldingRelay second("ok");
    QueryRun& goOn = makeRun(second.address());
    goOn.continueClicked();
    EXPECT_FALSE(window_.isEnabled(kStart));
    EXPECT_FALSE(window_.isEnabled(kContinue));
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "3");
    ASSERT_TRUE(ended(3));
    std::set<std::string> asked;
    for (int k = 0; k < second.received(); ++k) {
        asked.insert(second.body(k).substr(second.body(k).find("%A4") + 3, 6));
    }
    EXPECT_EQ(asked, (std::set<std::string>{"B10004", "B10005", "B10006"}));
    for (int row : {0, 1, 3, 4, 5}) {
        EXPECT_EQ(background(row), kColourGreen) << row;
        EXPECT_EQ(status(row), 1) << row;
    }
    EXPECT_EQ(background(2), kColourBlue);
    EXPECT_EQ(column2(0), "2024-01-02");
    EXPECT_EQ(column2(3), "");  // the failure text went with the new answer
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(window_.captionOf(kLabelAvailable), "3");
    EXPECT_EQ(goOn.progress().total, 3);
    EXPECT_EQ(lastLogLine(), "查询结束！共3个：可用3个，占用0个，逾期0个，失败0个");
    EXPECT_TRUE(window_.isEnabled(kContinue));

    // Nothing left to ask: the run ends at once and asks nothing.
    goOn.continueClicked();
    ASSERT_TRUE(ended(4));
    EXPECT_EQ(second.received(), 3);
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
}

// Tokens and rows over kept connections that the far side closes, resets or
// lets hang: each row gets what that answer deserves, and the next one goes
// out on a new connection.
TEST_F(QueryRunTest, KeptConnectionsMeetClosesResetsAndStalls) {
    using End = test::ScriptedReply::End;
    std::atomic<int> tokensHanded{0};
    test::ScriptedServer far([&](const std::string& path, const std::string& body) {
        if (path == "/api/token") {
            const int n = ++tokensHanded;
            const End end = n == 2   ? End::CloseAfter
                            : n == 4 ? End::ConnectionClose
                                     : End::KeepOpen;
            return test::ScriptedReply{end, 200, std::string(31, 't') + std::to_string(n % 10)};
        }
        const auto plate = [&](const char* p) { return body.find(p) != std::string::npos; };
        if (plate("B10001"))
            return test::ScriptedReply{End::CloseAfter, 200, "ok"};
        if (plate("B10002"))
            return test::ScriptedReply{End::ConnectionClose, 200, "ok"};
        if (plate("B10003"))
            return test::ScriptedReply{End::ResetMidReply, 200, "ok-but-cut"};
        if (plate("B10004"))
            return test::ScriptedReply{End::Stall, 200, ""};
        if (plate("B10005"))
            return test::ScriptedReply{End::KeepOpen, 200, gbk("已占用")};
        return test::ScriptedReply{End::KeepOpen, 200, "ok"};
    });
    const std::string base = "http://127.0.0.1:" + std::to_string(far.port());
    auto service = std::make_shared<ServiceClient>(base);
    HttpLimits quick;
    quick.stallTimeout = 1s;
    quick.totalTimeout = 2s;
    addPlates({"粤B10001", "粤B10002", "粤B10003", "粤B10004", "粤B10005", "粤B10006", "粤B10007"});
    makeRun(
        base + "/relay",
        [service](std::stop_token stop) { return service->accessToken("tester", stop); },
        service->connections(quick))
        .startClicked();
    ASSERT_TRUE(ended());

    EXPECT_EQ(background(0), kColourGreen);
    EXPECT_EQ(background(1), kColourGreen);
    for (int row : {2, 3}) {
        EXPECT_EQ(column2(row), gbk("Err.失败")) << row;
        EXPECT_EQ(background(row), kColourGrey) << row;
    }
    EXPECT_EQ(background(4), kColourRed);
    EXPECT_EQ(background(5), kColourGreen);
    EXPECT_EQ(background(6), kColourGreen);
    EXPECT_EQ(window_.captionOf(kLabelRemaining), "0");
    EXPECT_EQ(tokensHanded.load(), 7);
    // Kept connections: far fewer than one per request, yet more than one
    // per lane, since the far side ended some of them.
    EXPECT_EQ(far.requests(), 14);
    EXPECT_GT(far.connections(), 2);
    EXPECT_LT(far.connections(), 10);
}

// A stop while the service holds the token requests: both requests end,
// the run ends, and no row is asked about.
TEST_F(QueryRunTest, StopEndsTokenRequestsAndAsksNothingMore) {
    test::ScriptedServer service([](const std::string& path, const std::string&) {
        return test::ScriptedReply{path == "/api/token" ? test::ScriptedReply::End::Stall
                                                        : test::ScriptedReply::End::KeepOpen,
                                   200, "ok"};
    });
    const std::string base = "http://127.0.0.1:" + std::to_string(service.port());
    auto client = std::make_shared<ServiceClient>(base);
    addPlates({"粤B10001", "粤B10002", "粤B10003"});
    QueryRun& run = makeRun(base + "/relay", [client](std::stop_token stop) {
        return client->accessToken("tester", stop);
    });
    run.startClicked();
    ASSERT_TRUE(eventually([&] { return service.requests() == 2; }));
    run.stopClicked();
    ASSERT_TRUE(ended());
    EXPECT_TRUE(eventually([&] { return service.closedByClient() == 2; }));
    EXPECT_EQ(service.requests(), 2);
    EXPECT_EQ(column2(0), "2024-01-02");
    EXPECT_FALSE(background(0).has_value());
}

}  // namespace
}  // namespace yhz
