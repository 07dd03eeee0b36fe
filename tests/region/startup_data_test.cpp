#include <gtest/gtest.h>

#include "base/operation_log.h"
#include "region/region_catalog.h"
#include "region/startup_data.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

TEST(RelayLines, CountReadsLikeANumberAndStaysBounded) {
    EXPECT_EQ(relayLineCount("3"), 3);
    EXPECT_EQ(relayLineCount(" 2"), 2);
    EXPECT_EQ(relayLineCount("\xA1\xA1"
                             "2"),
              2);                              // full-width blank
    EXPECT_EQ(relayLineCount("\xA3\xB4"), 4);  // full-width 4
    EXPECT_EQ(relayLineCount("\xA3\xAB\xA3\xB5x"), 5);
    EXPECT_EQ(relayLineCount("12abc"), 12);
    EXPECT_EQ(relayLineCount("0"), 0);
    EXPECT_EQ(relayLineCount("abc"), 0);
    EXPECT_EQ(relayLineCount(""), 0);
    EXPECT_EQ(relayLineCount("-3"), 0);
    EXPECT_EQ(relayLineCount("1000000000"), kMaxRelayLines);
    EXPECT_EQ(relayLineCount("99999999999999999999999"), kMaxRelayLines);
    EXPECT_EQ(relayLineItem(1), gbk("   线路[ 1 ]"));
    EXPECT_EQ(relayLineItem(12), gbk("   线路[ 12 ]"));
}

TEST(RelayLines, AddressComesFromUrl1) {
    EXPECT_EQ(relayAddressFrom(R"({"url1":"http://r.example/relay"})"), "http://r.example/relay");
    EXPECT_EQ(relayAddressFrom(R"({"url2":"x"})"), "");
    EXPECT_EQ(relayAddressFrom("not json"), std::nullopt);
    EXPECT_EQ(relayAddressFrom(""), std::nullopt);
}

struct StartupRun {
    test::RecordingWindow window;
    OperationLog log{window};
    StartupValues values;

    void run(std::optional<ServiceInfo> info, std::map<std::string, std::string> replies) {
        InformationFetch fetch = [replies](std::string_view path, std::stop_token) {
            const auto found = replies.find(std::string(path));
            return found == replies.end() ? std::string() : found->second;
        };
        runStartupData({window, log, values, std::move(info), fetch});
    }
};

ServiceInfo demoInfo() {
    ServiceInfo info;
    info.latestVersion = "2.1.2";
    info.announcement = gbk("公告正文");
    info.serviceConfigJson = R"({"url1":"http://127.0.0.1:1/relay"})";
    return info;
}

TEST(StartupData, FillsEverythingInOrder) {
    StartupRun r;
    r.run(demoInfo(), {{"/GetText.php", gbk("第一行\r\n第二行")}, {"/GetLine.php", "3"}});
    EXPECT_EQ(r.window.lists["组合框1"].items.size(), 53u);
    EXPECT_EQ(r.window.selection("组合框1"), 0);
    EXPECT_EQ(r.window.itemText("组合框1", 0), gbk("北京-京A"));
    EXPECT_EQ(r.values.siteCount(), 53u);
    EXPECT_EQ(r.values.relayAddress(), "http://127.0.0.1:1/relay");
    const std::vector<std::string> lines{gbk("   线路[ 1 ]"), gbk("   线路[ 2 ]"),
                                         gbk("   线路[ 3 ]")};
    EXPECT_EQ(r.window.lists["组合框2"].items, lines);
    EXPECT_EQ(r.window.selection("组合框2"), 0);
    EXPECT_EQ(r.window.captions["透明标签_公告"], gbk("公告正文"));
    // Three entries without time, the information text as it came.
    EXPECT_EQ(r.log.content(), std::string(41, '-') + "\r\n" + gbk("第一行\r\n第二行") + "\r\n" +
                                   gbk("----实际以官方查询为准，数据仅供参考-----") + "\r\n");

    // The region choice is complete before the first request goes out.
    const auto calls = r.window.calls();
    const auto firstLog = std::find_if(
        calls.begin(), calls.end(), [](const std::string& c) { return c.rfind("log ", 0) == 0; });
    const auto lastRegion =
        std::find(calls.begin(), calls.end(), std::string("item 组合框1 新疆-新O"));
    EXPECT_LT(lastRegion - calls.begin(), firstLog - calls.begin());
}

TEST(StartupData, UnreachableServiceLeavesEmptyButUsableValues) {
    StartupRun r;
    r.run(std::nullopt, {});
    EXPECT_EQ(r.window.lists["组合框1"].items.size(), 53u);
    EXPECT_EQ(r.window.itemCount("组合框2"), 0);
    EXPECT_EQ(r.window.selection("组合框2"), -1);
    EXPECT_EQ(r.values.relayAddress(), "");
    EXPECT_EQ(r.log.content(), std::string(41, '-') + "\r\n\r\n" +
                                   gbk("----实际以官方查询为准，数据仅供参考-----") + "\r\n");
}

TEST(StartupData, HostileRepliesStayBounded) {
    StartupRun r;
    ServiceInfo info = demoInfo();
    info.serviceConfigJson = "{{{";
    r.run(info, {{"/GetText.php", std::string("a\0b", 3)}, {"/GetLine.php", "1000000000"}});
    EXPECT_EQ(r.window.itemCount("组合框2"), kMaxRelayLines);
    EXPECT_EQ(r.values.relayAddress(), "");
    EXPECT_NE(r.log.content().find("-\r\na\r\n"), std::string::npos);
}

}  // namespace
}  // namespace yhz
