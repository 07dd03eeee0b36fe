// Both retrievals and their buttons against the site simulator over TLS with
// the demo authority, and against a loopback server that fails on purpose.

#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>

#include "base/background_task.h"
#include "base/operation_log.h"
#include "demo/site_sim/site_sim.h"
#include "demo/world/site_data.h"
#include "net/cookie_store.h"
#include "region/region_catalog.h"
#include "retrieval/expired_day_file.h"
#include "retrieval/page_guard.h"
#include "retrieval/page_reader.h"
#include "retrieval/retrieval_buttons.h"
#include "retrieval/site_interface.h"
#include "retrieval/site_retrieval.h"
#include "support/demo_ca.h"
#include "support/loopback.h"
#include "support/recording_window.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace yhz {
namespace {

using testing::TempDir;

constexpr std::chrono::seconds kWait{30};

using yhz::testing::readFile;

// One page of both endpoints' shapes: two entries, numbered by page.
std::string pageJson(int page, long total, bool withContent = true) {
    std::string segments, plates;
    for (int k = 1; k <= 2; ++k) {
        const std::string n = std::to_string(page) + std::to_string(k);
        segments += std::string(k > 1 ? "," : "") + R"({"subhd":"A)" + n + R"(00 ~A)" + n +
                    R"(99","tfrq":"2024-01-0)" + std::to_string(k) + R"("})";
        plates += std::string(k > 1 ? "," : "") + R"({"hphm":"苏J)" + n + R"(000"})";
    }
    const std::string totalText = R"("totalCount":)" + std::to_string(total);
    if (!withContent) {
        return R"({"data":{)" + totalText + R"(,"list":{)" + totalText + "}}}";
    }
    return R"({"data":{)" + totalText + R"(,"content":[)" + plates + R"(],"list":{)" + totalText +
           R"(,"content":[)" + segments + "]}}}";
}

std::string emptyPage(long total) {
    return R"({"data":{"totalCount":)" + std::to_string(total) +
           R"(,"content":[],"list":{"totalCount":)" + std::to_string(total) + R"(,"content":[]}}})";
}

// Streams `size` bytes of an unfinished JSON text.
void streamJunk(httplib::Response& res, size_t size) {
    res.set_chunked_content_provider(
        "application/json", [size, sent = size_t{0}](size_t, httplib::DataSink& sink) mutable {
            static const std::string block = "[" + std::string(64 * 1024 - 1, '1');
            if (sent >= size) {
                sink.done();
                return true;
            }
            const size_t n = std::min(block.size(), size - sent);
            sent += n;
            return sink.write(block.data(), n);
        });
}

// The page a test reads its choices from.
class FixedPage final : public PageReader {
public:
    explicit FixedPage(std::optional<PageChoices> choices) : choices_(std::move(choices)) {}
    std::optional<PageChoices> readChoices() override {
        ++reads;
        return choices_;
    }
    int reads = 0;

private:
    std::optional<PageChoices> choices_;
};

class SiteRetrieval : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        caDir_ = new TempDir("yhz-retrieval-ca");
        ASSERT_EQ(testing::makeDemoCa(caDir_->path()), 0);
        sim::SiteSimOptions options;
        options.port = 0;
        options.certificatePath = (caDir_->path() / "server.pem").string();
        options.keyPath = (caDir_->path() / "server.key").string();
        std::string error;
        sim_ = sim::SiteSim::start(options, &error).release();
        ASSERT_NE(sim_, nullptr) << error;
        HttpClient::setCaBundle((caDir_->path() / "ca.pem").string());

        auto server = std::make_unique<httplib::Server>();
        server->Post(R"(/(\w[\w-]*))", [](const httplib::Request& req, httplib::Response& res) {
            const std::string mode = req.matches[1];
            const int page = std::atoi(req.body.c_str() + req.body.find('=') + 1);
            {
                const std::lock_guard lock(countMutex_);
                ++requests_[mode];
            }
            if ((page == 1 && mode != "empty" && mode != "down") ||
                (page == 2 && (mode == "ok" || mode == "fail3"))) {
                res.set_content(pageJson(page, mode == "zero"      ? 0
                                               : mode == "endless" ? 1000000
                                                                   : 6),
                                "application/json");
            } else if (mode == "endless") {
                res.set_content(pageJson(page, 1000000), "application/json");
            } else if (mode == "lagging-total" && page <= 5) {
                // A total that lags the list: pages past it bring real rows.
                res.set_content(pageJson(page, 6), "application/json");
            } else if (mode == "repeat2") {
                // A site that ignores the page number after the first.
                res.set_content(pageJson(2, 6), "application/json");
            } else if (mode == "fail3" || mode == "down") {
                // An error page that is JSON too: only its status says so.
                res.status = 500;
                res.set_content(R"({"code":500,"message":"系统繁忙"})", "application/json");
            } else if (mode == "500") {
                res.status = 500;
                res.set_content("<html>Internal Server Error</html>", "text/html");
            } else if (mode == "truncated") {
                res.set_content(pageJson(2, 6).substr(0, 40), "application/json");
            } else if (mode == "huge") {
                streamJunk(res, size_t{100} * 1024 * 1024);
            } else if (mode == "no-content") {
                res.set_content(pageJson(2, 6, false), "application/json");
            } else {
                res.set_content(emptyPage(mode == "empty" || mode == "zero" ? 0 : 6),
                                "application/json");
            }
        });
        failing_ = new test::RunningServer(std::move(server));
    }
    static void TearDownTestSuite() {
        HttpClient::setCaBundle("");
        delete failing_;
        delete sim_;
        delete caDir_;
    }
    void TearDown() override { CookieStore::browser().clear(); }

    static std::string site(const char* code) {
        return "https://" + std::string(code) + ".localhost:" + std::to_string(sim_->port());
    }
    static std::string failing(const std::string& mode) {
        return "http://127.0.0.1:" + std::to_string(failing_->port()) + "/" + mode;
    }
    static int requestsOf(const std::string& mode) {
        const std::lock_guard lock(countMutex_);
        return requests_[mode];
    }
    // The session a browser would hold after loading the site's page.
    static std::string session(const std::string& base) {
        CookieJar cookies;
        HttpClient().webRequest(base + std::string(kSelfSelectionPath), {.cookieText = &cookies});
        return cookies;
    }
    SiteRun run(std::string address, CookieJar cookies, std::string form,
                std::stop_token stop = {}) {
        return {window_,         log_, client_,   std::move(address), std::move(cookies),
                std::move(form), stop, &progress_};
    }
    std::vector<std::string> logLines() const {
        std::vector<std::string> lines;
        for (const std::string& call : window_.calls()) {
            if (call.rfind("log ", 0) == 0) {
                // Past "log " and the "hh:mm:ss >>> " stamp.
                lines.push_back(call.substr(4 + 13));
            }
        }
        return lines;
    }

    test::RecordingWindow window_;
    OperationLog log_{window_};
    HttpClient client_;
    RetrievalProgressMeter progress_;

    static TempDir* caDir_;
    static sim::SiteSim* sim_;
    static test::RunningServer* failing_;
    static std::mutex countMutex_;
    static std::map<std::string, int> requests_;
};
TempDir* SiteRetrieval::caDir_ = nullptr;
sim::SiteSim* SiteRetrieval::sim_ = nullptr;
test::RunningServer* SiteRetrieval::failing_ = nullptr;
std::mutex SiteRetrieval::countMutex_;
std::map<std::string, int> SiteRetrieval::requests_;

// How a run ends, by what the site does: the rows it took, the pages it asked
// for and its last log line (the expired run's, where it differs).
struct RunCase {
    const char* mode;
    int rows;
    int requests;
    const char* segmentEnd;
    const char* expiredEnd;
};
const RunCase kRunCases[] = {
    {"ok", 4, 3, "号段获取完毕！请手动跳转筛选页面!", "逾期获取完毕！请手动跳转筛选页面!"},
    {"no-content", 2, 2, "号段获取完毕！请手动跳转筛选页面!", "逾期获取完毕！请手动跳转筛选页面!"},
    {"500", 2, 2, "号段获取中断！第2页获取失败,已保留取到的2个数据!",
     "逾期获取中断！第2页获取失败,已保留取到的2个数据,未保存当天缓存!"},
    {"truncated", 2, 2, "号段获取中断！第2页获取失败,已保留取到的2个数据!", nullptr},
    {"huge", 2, 2, "号段获取中断！第2页获取失败,已保留取到的2个数据!", nullptr},
    {"fail3", 4, 3, "号段获取中断！第3页获取失败,已保留取到的4个数据!",
     "逾期获取中断！第3页获取失败,已保留取到的4个数据,未保存当天缓存!"},
    {"repeat2", 4, 3, "号段获取结束！第3页与上一页数据重复,已保留取到的4个数据!",
     "逾期获取结束！第3页与上一页数据重复,已保留取到的4个数据,未保存当天缓存!"},
    {"lagging-total", 10, 6, "号段获取完毕！请手动跳转筛选页面!",
     "逾期获取完毕！请手动跳转筛选页面!"},
};

TEST_F(SiteRetrieval, segmentRunsKeepTheirRowsAndSayHowTheyEnded) {
    for (const RunCase& c : kRunCases) {
        SCOPED_TRACE(c.mode);
        SegmentStore segments;
        const int before = requestsOf(c.mode);
        runSegmentRetrieval(run(failing(c.mode), "", "&glbm=1&hpzl=02"), segments);
        EXPECT_EQ(segments.rowCount(), c.rows);
        EXPECT_EQ(segments.cellText(0, 0), "A1100 ~A1199");
        EXPECT_EQ(segments.cellText(1, 1), "2024-01-02");
        EXPECT_EQ(segments.cellText(c.rows - 1, 0).substr(0, 3),
                  "A" + std::to_string(c.rows / 2) + "2");
        EXPECT_EQ(requestsOf(c.mode) - before, c.requests);
        EXPECT_EQ(logLines().back(), c.segmentEnd);
        EXPECT_EQ(window_.calls().back(), "enable 按钮3");
        // The window's count is the list's: pages that brought rows, and those rows.
        const RetrievalProgress p = progress_.snapshot();
        EXPECT_EQ(p.state, std::string_view(c.segmentEnd).find("完毕") == std::string_view::npos
                               ? RetrievalProgress::State::EndedEarly
                               : RetrievalProgress::State::Ended);
        EXPECT_EQ(p.pages, c.rows / 2);
        EXPECT_EQ(p.rows, segments.rowCount());
        EXPECT_EQ(p.announced, 6);
    }
    // A total of 0 is not reported.
    SegmentStore segments;
    const size_t lines = logLines().size();
    runSegmentRetrieval(run(failing("zero"), "", ""), segments);
    EXPECT_EQ(segments.rowCount(), 2);
    EXPECT_EQ(logLines().size(), lines + 1);
}

// Pages that bring new rows for ever, with no total named, end at the limit.
TEST(PageGuard, endsARunThatGoesOnPastThePageLimit) {
    PageGuard guard;
    EXPECT_EQ(guard.admit(PageGuard::kMaxPages, 1, {"a"}), std::nullopt);
    EXPECT_EQ(guard.admit(PageGuard::kMaxPages + 1, 1, {"b"}), RunEnd::PageLimit);
    EXPECT_EQ(guard.taken(), 1);
}

TEST_F(SiteRetrieval, aSiteThatNeverEndsIsStoppedWithTheProgram) {
    BackgroundTaskOwner tasks;
    SegmentStore segments;
    tasks.start("segment retrieval", [&](std::stop_token stop) {
        runSegmentRetrieval(run(failing("endless"), "", "", stop), segments);
    });
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (segments.rowCount() < 20 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_GE(segments.rowCount(), 20);
    EXPECT_EQ(progress_.snapshot().state, RetrievalProgress::State::Running);
    EXPECT_TRUE(tasks.shutdown(std::chrono::seconds(5)).clean());
    EXPECT_EQ(progress_.snapshot().state, RetrievalProgress::State::Stopped);
    EXPECT_EQ(progress_.snapshot().rows, segments.rowCount());
    EXPECT_EQ(logLines().size(), 1u) << "only the total, no closing line";
}

TEST_F(SiteRetrieval, onlyExpiredRunsThatReachTheLastPageWriteTheDayFile) {
    TempDir data("yhz-expired");
    ExpiredPlateSet expired;
    runExpiredRetrieval(run(failing("empty"), "", ""), expired, {data.path(), "1", "02"});
    EXPECT_EQ(expired.size(), 0u);
    EXPECT_EQ(logLines(), (std::vector<std::string>{"正获取逾期数据....",
                                                    "当前共检索到0个数据,请等待获取完毕！",
                                                    "逾期获取失败！请确认是否设置正确!"}));
    EXPECT_TRUE(std::filesystem::is_empty(data.path()));

    // A total of 0 is logged again with every page while it stays 0.
    runExpiredRetrieval(run(failing("zero"), "", ""), expired, {data.path(), "1", "02"});
    EXPECT_EQ(logLines().size(), 3u + 4u);
    EXPECT_TRUE(std::filesystem::remove(*expiredDayFilePath(data.path(), todayText(), "1", "02")));

    for (const RunCase& c : kRunCases) {
        if (c.expiredEnd == nullptr) {
            continue;
        }
        SCOPED_TRACE(c.mode);
        expired.clear();
        runExpiredRetrieval(run(failing(c.mode), "", ""), expired, {data.path(), c.mode, "52"});
        const std::vector<std::string> plates = expired.entries();
        ASSERT_EQ(plates.size(), static_cast<size_t>(c.rows));
        EXPECT_EQ(plates[0], gbk("苏J11000"));
        EXPECT_EQ(logLines().back(), c.expiredEnd);
        const std::filesystem::path file =
            *expiredDayFilePath(data.path(), todayText(), c.mode, "52");
        const bool complete = std::string_view(c.expiredEnd).find("完毕") != std::string::npos;
        EXPECT_EQ(std::filesystem::exists(file), complete);
        if (complete) {
            std::string lines;
            for (int k = 0; k < c.rows; ++k) {
                lines += "苏J" + std::to_string(k / 2 + 1) + std::to_string(k % 2 + 1) + "000\r\n";
            }
            EXPECT_EQ(readFile(file), gbk(lines));
            std::filesystem::remove(file);
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(data.path()));

    // A run whose first page failed got nothing: where it ended, then the failure.
    runExpiredRetrieval(run(failing("down"), "", ""), expired, {data.path(), "1", "52"});
    const std::vector<std::string> lines = logLines();
    EXPECT_EQ(std::vector<std::string>(lines.end() - 2, lines.end()),
              (std::vector<std::string>{"逾期获取中断！第1页获取失败!",
                                        "逾期获取失败！请确认是否设置正确!"}));

    // A file that cannot be written is said; the plates are there all the same.
    const std::filesystem::path notAFolder = data.path() / "file";
    std::ofstream(notAFolder) << "x";
    for (const DayFileName& name :
         {DayFileName{notAFolder, "1", "52"}, DayFileName{data.path(), "../1", "52"}}) {
        expired.clear();
        runExpiredRetrieval(run(failing("ok"), "", ""), expired, name);
        EXPECT_EQ(expired.size(), 4u);
        const std::vector<std::string> after = logLines();
        EXPECT_EQ(after[after.size() - 2], "逾期缓存文件保存失败！下次采集将重新从网站获取");
        EXPECT_EQ(after.back(), "逾期获取完毕！请手动跳转筛选页面!");
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(data.path()), {}), 1);
}

class RetrievalButtons : public SiteRetrieval {
protected:
    void SetUp() override {
        values_.setSiteList({site("js-yc"), failing("")});
        window_.lists["组合框1"] = {{gbk("江苏盐城-苏J"), gbk("江苏南京-苏A")}, 0};
    }
    void TearDown() override {
        tasks_.shutdown();
        SiteRetrieval::TearDown();
    }
    RetrievalPlace place() {
        return {window_, log_, tasks_, values_, segments_, expired_, data_.path()};
    }
    std::vector<std::string> messages() const {
        std::vector<std::string> out;
        for (const MessageRequest& m : window_.messages) {
            out.push_back(localToUtf8(m.caption) + localToUtf8(m.text));
        }
        return out;
    }
    void waitForTasks() { ASSERT_TRUE(tasks_.waitIdle(kWait)); }

    TempDir data_{"yhz-buttons"};
    StartupValues values_;
    BackgroundTaskOwner tasks_;
    std::shared_ptr<SegmentStore> segments_ = std::make_shared<SegmentStore>();
    std::shared_ptr<ExpiredPlateSet> expired_ = std::make_shared<ExpiredPlateSet>();
};

TEST_F(RetrievalButtons, withoutARegionOrASiteTheUserIsAskedForOne) {
    RetrievalPlace p = place();
    EXPECT_EQ(pressOpenRegion(p), site("js-yc") + "/views/vehxhhdpub.html");
    EXPECT_EQ(window_.visible["分组框1"], false);

    for (int selection : {-1, 2}) {
        window_.lists["组合框1"].selection = selection;
        FixedPage page(PageChoices{"1", "02", "a", "b"});
        expired_->append("kept");
        EXPECT_EQ(pressOpenRegion(p), std::nullopt);
        EXPECT_FALSE(pressSegmentButton(p, page));
        EXPECT_FALSE(pressExpiredButton(p, page));
        EXPECT_EQ(page.reads, 0);
        EXPECT_EQ(expired_->size(), 1u);
        expired_->clear();
    }
    EXPECT_EQ(messages(), std::vector<std::string>(6, "温馨提示:请先选择地区"));
    EXPECT_EQ(window_.enabled.count("按钮3"), 0u);
}

TEST_F(RetrievalButtons, anUnreachablePageDoesNothingAndAnIncompleteOneIsAnError) {
    RetrievalPlace p = place();
    FixedPage unreachable(std::nullopt);
    expired_->append("kept");
    EXPECT_FALSE(pressSegmentButton(p, unreachable));
    EXPECT_FALSE(pressExpiredButton(p, unreachable));
    EXPECT_TRUE(window_.messages.empty());
    EXPECT_EQ(expired_->size(), 1u);

    for (const PageChoices& choices :
         {PageChoices{"", "02", "a", "b"}, PageChoices{"1", "", "a", "b"},
          PageChoices{"1", "02", "", "b"}, PageChoices{"1", "02", "a", ""}}) {
        FixedPage page(choices);
        EXPECT_FALSE(pressSegmentButton(p, page));
    }
    // The expired plates are emptied first; the dates do not matter there.
    FixedPage noOffice(PageChoices{"", "02", "", ""});
    EXPECT_FALSE(pressExpiredButton(p, noOffice));
    EXPECT_EQ(expired_->size(), 0u);
    EXPECT_EQ(messages(), std::vector<std::string>(5, "温馨提示:当前采集网页操作有误"));
    EXPECT_EQ(window_.messages.back().icon, MessageIcon::Critical);
    EXPECT_EQ(tasks_.running(), 0);

    // A page whose values would name a file outside the data folder.
    for (const char* hostile : {"../../x", "a/b", "C:x", "..", "a\\b"}) {
        FixedPage page(PageChoices{hostile, "02", "", ""});
        EXPECT_FALSE(pressExpiredButton(p, page));
        FixedPage other(PageChoices{"1", hostile, "", ""});
        EXPECT_FALSE(pressExpiredButton(p, other));
    }
    EXPECT_EQ(window_.messages.size(), 15u);
    EXPECT_TRUE(std::filesystem::is_empty(data_.path()));
}

TEST_F(RetrievalButtons, theBrowsersHttpOnlySessionReachesTheSite) {
    const demo::Region& region = *demo::findRegion("js-yc");
    const demo::Office office = demo::offices(region)[0];
    const std::string cookie = session(site("js-yc"));
    ASSERT_EQ(cookie.rfind("JSESSIONID=", 0), 0u);
    StoredCookie stored;
    stored.name = "JSESSIONID";
    stored.value = cookie.substr(11);
    stored.domain = "js-yc.localhost";
    stored.secure = true;
    stored.httpOnly = true;

    RetrievalPlace p = place();
    FixedPage page(PageChoices{office.glbm, "02", "2024-01-01", "2024-03-31"});
    // Without the page's session the site refuses the first page.
    segments_->append({"stale", "row", true});
    ASSERT_TRUE(pressSegmentButton(p, page));
    waitForTasks();
    EXPECT_EQ(segments_->rowCount(), 0);
    EXPECT_EQ(logLines(), std::vector<std::string>{"号段获取中断！第1页获取失败!"});

    CookieStore::browser().set(stored);
    ASSERT_TRUE(pressSegmentButton(p, page));
    waitForTasks();
    EXPECT_EQ(static_cast<size_t>(segments_->rowCount()),
              demo::releases(region, office, demo::PlateType::Small, *demo::parseDay("2024-01-01"),
                             *demo::parseDay("2024-03-31"))
                  .size());
    EXPECT_GT(segments_->rowCount(), 0);
    EXPECT_EQ(p.segmentProgress->snapshot().rows, segments_->rowCount());
    EXPECT_EQ(p.segmentProgress->snapshot().state, RetrievalProgress::State::Ended);
    const auto calls = window_.calls();
    EXPECT_EQ(calls.front(), "disable 按钮3");
    EXPECT_EQ(calls.back(), "enable 按钮3");
    EXPECT_EQ(logLines().size(), 3u) << "the total, then the end";

    // Expired: from the site, then from the day file without a request.
    ASSERT_TRUE(pressExpiredButton(p, page));
    waitForTasks();
    const std::vector<std::string> plates = expired_->entries();
    EXPECT_EQ(p.expiredProgress->snapshot().rows, static_cast<long long>(plates.size()));
    EXPECT_EQ(p.expiredProgress->snapshot().announced, static_cast<long long>(plates.size()));
    EXPECT_EQ(plates.size(), demo::expiredPlates(region, office, demo::PlateType::Small).size());
    const size_t logged = logLines().size();
    EXPECT_FALSE(pressExpiredButton(p, page));
    EXPECT_EQ(expired_->entries(), plates);
    EXPECT_EQ(messages().back(), "温馨提示:初始化完毕！");
    EXPECT_EQ(window_.messages.back().icon, MessageIcon::Information);
    EXPECT_EQ(logLines().size(), logged);

    // Another plate type is another file: the site is asked.
    FixedPage newEnergy(PageChoices{office.glbm, "52", "", ""});
    ASSERT_TRUE(pressExpiredButton(p, newEnergy));
    waitForTasks();
    EXPECT_EQ(logLines().size(), logged + 3);
}

}  // namespace
}  // namespace yhz
