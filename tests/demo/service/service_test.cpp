#include <gtest/gtest.h>
#include <httplib.h>

#include <condition_variable>
#include <fstream>
#include <future>
#include <mutex>
#include <nlohmann/json.hpp>

#include "demo/service/access_book.h"
#include "demo/service/registry.h"
#include "demo/service/service.h"
#include "demo/world/site_data.h"
#include "support/temp_dir.h"
#include "text/encoding.h"

namespace yhz::service {
namespace {

using testing::TempDir;

// Holds relay requests in flight until released; open unless closed.
struct Gate {
    std::mutex mutex;
    std::condition_variable changed;
    bool closed = false;
    int waiting = 0;

    void pass() {
        std::unique_lock lock(mutex);
        ++waiting;
        changed.notify_all();
        changed.wait(lock, [&] { return !closed; });
        --waiting;
    }
    void close() {
        std::lock_guard lock(mutex);
        closed = true;
    }
    void open() {
        std::lock_guard lock(mutex);
        closed = false;
        changed.notify_all();
    }
    bool waitFor(int n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(10), [&] { return waiting >= n; });
    }
};

std::string percent(std::string_view text) {
    return urlEncode(text, true, false);
}

class ServiceTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = new TempDir("yhz-service-test");
        gate = new Gate;
        ServiceOptions options;
        options.port = 0;
        options.databasePath = (dir->path() / "service.sqlite").string();
        options.relayDelay = std::chrono::milliseconds(0);
        options.onRelayInFlight = [] { gate->pass(); };
        std::string error;
        service = Service::start(options, &error).release();
        ASSERT_NE(service, nullptr) << error;
    }
    static void TearDownTestSuite() {
        delete service;
        delete gate;
        delete dir;
    }

    static httplib::Client client() {
        httplib::Client c("127.0.0.1", service->port());
        c.set_read_timeout(std::chrono::seconds(10));
        return c;
    }
    static std::string token(const std::string& user) {
        auto res = client().Post("/api/token", "userIdentifier=" + user,
                                 "application/x-www-form-urlencoded");
        return res && res->status == 200 ? res->body : std::string();
    }
    // The relay form as the program builds it; `plate` is UTF-8.
    static std::string form(const std::string& plate, const std::string& user,
                            const std::string& tok, const std::string& line = "1") {
        std::string type = plate.size() == 9 ? "02" : "52";
        return "hphm=" + percent(plate) + "&hpzl=" + type + "&id=" + user + "&Token=" + tok +
               "&hphma=" + percent(plate.substr(0, 4)) + "&line=" + line;
    }
    static httplib::Result relay(const std::string& body) {
        return client().Post("/relay", body, "application/x-www-form-urlencoded");
    }
    static std::string relayText(const std::string& body) {
        auto res = relay(body);
        return res ? utf8FromGbk(res->body) : "<no reply>";
    }
    static std::string utf8FromGbk(const std::string& text) { return localToUtf8(text); }

    // A plate of the simulator's world that the demo registry holds as taken
    // (or, with `taken` false, one it does not).
    static std::string worldPlate(bool taken) {
        const demo::Region& region = *demo::findRegion("js-yc");
        const demo::Office office = demo::offices(region).front();
        for (const std::string& start : demo::segmentPool(region, office, demo::PlateType::Small)) {
            for (const std::string& serial : demo::segmentSerials(start)) {
                std::string plate = region.province + serial;
                if (demo::isTakenPlate(plate) == taken)
                    return plate;
            }
        }
        return {};
    }

    static TempDir* dir;
    static Gate* gate;
    static Service* service;
};

TempDir* ServiceTest::dir = nullptr;
Gate* ServiceTest::gate = nullptr;
Service* ServiceTest::service = nullptr;

TEST_F(ServiceTest, InformationTextsAndServiceInfo) {
    auto text = client().Get("/GetText.php");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->status, 200);
    // GBK on the wire, two lines, no final line end.
    EXPECT_EQ(
        utf8FromGbk(text->body),
        "欢迎使用云海舟本地演示服务。\r\n号段、逾期与占用情况均为本机生成的演示数据，与实际无关。");
    EXPECT_EQ(text->body, gbk(utf8FromGbk(text->body)));

    auto lines = client().Get("/GetLine.php");
    ASSERT_TRUE(lines);
    EXPECT_EQ(lines->body, "3");

    auto info = client().Get("/api/service-info");
    ASSERT_TRUE(info);
    auto json = nlohmann::json::parse(info->body);
    EXPECT_EQ(json["latestVersion"], "2.1.2");
    EXPECT_EQ(json["packageName"], "云海舟");
    const std::string base = "http://127.0.0.1:" + std::to_string(service->port());
    EXPECT_EQ(json["packageAddress"], base + "/update/package.zip");
    EXPECT_FALSE(json["announcement"].get<std::string>().empty());
    auto config = nlohmann::json::parse(json["serviceConfigJson"].get<std::string>());
    EXPECT_EQ(config["url1"], base + "/relay");
}

TEST_F(ServiceTest, TokensAreIssuedOnlyForValidIdentifiers) {
    std::string first = token("machine-0001");
    std::string second = token("machine-0001");
    EXPECT_EQ(first.size(), 32u);
    EXPECT_EQ(second.size(), 32u);
    EXPECT_NE(first, second);

    auto viaGet = client().Get("/api/token?userIdentifier=machine-0002");
    ASSERT_TRUE(viaGet);
    EXPECT_EQ(viaGet->body.size(), 32u);

    for (const char* body : {"", "userIdentifier=", "userIdentifier=a%20b", "other=x",
                             "userIdentifier=a&userIdentifier=b", "userIdentifier=%zz"}) {
        auto res = client().Post("/api/token", body, "application/x-www-form-urlencoded");
        ASSERT_TRUE(res) << body;
        EXPECT_EQ(res->status, 400) << body;
    }
    auto tooLong = client().Post("/api/token", "userIdentifier=" + std::string(65, 'a'),
                                 "application/x-www-form-urlencoded");
    ASSERT_TRUE(tooLong);
    EXPECT_EQ(tooLong->status, 400);
}

TEST_F(ServiceTest, RelayAnswersFreeTakenAndBadToken) {
    const std::string user = "relay-user";
    const std::string free = worldPlate(false);
    const std::string taken = worldPlate(true);
    ASSERT_FALSE(free.empty());
    ASSERT_FALSE(taken.empty());

    auto ok = relay(form(free, user, token(user)));
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->status, 200);
    EXPECT_EQ(ok->body, "ok");

    auto occupied = relay(form(taken, user, token(user)));
    ASSERT_TRUE(occupied);
    EXPECT_EQ(occupied->body, "\xD2\xD1\xD5\xBC\xD3\xC3");  // 已占用 in GBK

    // A new-energy plate of another region: not in the registry, so free.
    EXPECT_EQ(relayText(form("粤BD12345", user, token(user))), "ok");

    // A token serves one request, for the user it was issued to.
    std::string once = token(user);
    EXPECT_EQ(relayText(form(free, user, once)), "ok");
    EXPECT_EQ(relayText(form(free, user, once)), "Token无效或已过期");
    token("someone-else");
    EXPECT_EQ(relayText(form(free, "someone-else", token(user))), "Token无效或已过期");
    EXPECT_EQ(relayText(form(free, user, "0123456789abcdef0123456789abcdef")), "Token无效或已过期");
    EXPECT_EQ(relayText(form(free, user, "")), "Token无效或已过期");
    EXPECT_EQ(relayText(form(free, "never-asked", token(user))), "用户未登记");
}

TEST_F(ServiceTest, RelayRejectsMalformedFormsAndKeepsServing) {
    const std::string user = "form-user";
    const std::string plate = worldPlate(false);
    const std::string good = form(plate, user, token(user));
    struct Case {
        std::string body;
        std::string answer;
    };
    const std::vector<Case> cases = {
        {"", "请求格式错误"},
        {"garbage", "请求格式错误"},
        {"hphm=%E8%8B%8", "请求格式错误"},
        {good.substr(0, good.find("&line=")), "请求格式错误"},
        {good + "&line=2", "请求格式错误"},
        {form(plate, "bad id", "x"), "用户未登记"},
        {form(plate, "bad%20id", token(user)), "用户未登记"},
        {form("苏J1234", user, token(user)), "号牌格式错误"},
        {form("XXJ12345", user, token(user)), "号牌格式错误"},
        {form("苏j12345", user, token(user)), "号牌格式错误"},
        {"hphm=" + percent(plate) + "&hpzl=52&id=" + user + "&Token=" + token(user) +
             "&hphma=" + percent(plate.substr(0, 4)) + "&line=1",
         "号牌格式错误"},
        {"hphm=" + percent(plate) + "&hpzl=02&id=" + user + "&Token=" + token(user) +
             "&hphma=" + percent("粤B") + "&line=1",
         "号牌格式错误"},
        {form(plate, user, token(user), "0"), "线路错误"},
        {form(plate, user, token(user), "4"), "线路错误"},
        {form(plate, user, token(user), "1x"), "线路错误"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(relayText(c.body), c.answer) << c.body;
    }

    auto huge = relay(good + "&pad=" + std::string(9000, 'x'));
    ASSERT_TRUE(huge);
    EXPECT_EQ(huge->status, 413);
    EXPECT_EQ(utf8FromGbk(huge->body), "请求过大");

    auto unknown = client().Get("/no/such/path");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_FALSE(unknown->body.empty());

    EXPECT_TRUE(testing::sendRaw(service->port(), std::string("\x00\xff garbage\r\n\r\n", 14)));
    EXPECT_TRUE(testing::sendRaw(service->port(),
                                 "POST /relay HTTP/1.1\r\nContent-Length: 99999999\r\n\r\nab"));
    EXPECT_TRUE(
        testing::sendRaw(service->port(), "GET /" + std::string(20000, 'a') + " HTTP/1.1\r\n\r\n"));

    // The untouched good form still works after all of that.
    EXPECT_EQ(relayText(good), "ok");
}

TEST_F(ServiceTest, AThirdConcurrentRequestOfOneUserIsTurnedAway) {
    const std::string user = "busy-user";
    const std::string plate = worldPlate(false);
    gate->close();
    auto first = std::async(std::launch::async,
                            [&, t = token(user)] { return relayText(form(plate, user, t)); });
    auto second = std::async(std::launch::async,
                             [&, t = token(user)] { return relayText(form(plate, user, t)); });
    ASSERT_TRUE(gate->waitFor(2));

    EXPECT_EQ(relayText(form(plate, user, token(user))), "查询过于频繁,请稍后再试");
    // Other users are not affected.
    const std::string other = "quiet-user";
    gate->open();
    EXPECT_EQ(relayText(form(plate, other, token(other))), "ok");

    EXPECT_EQ(first.get(), "ok");
    EXPECT_EQ(second.get(), "ok");
    // Slots are given back.
    EXPECT_EQ(relayText(form(plate, user, token(user))), "ok");
}

TEST(ServiceRestart, ServesThePackageAndKeepsItsData) {
    TempDir dir("yhz-service-restart");
    const std::string db = (dir.path() / "service.sqlite").string();
    const std::string zip = (dir.path() / "package.zip").string();
    std::string content;
    for (int i = 0; i < 200000; ++i)
        content += static_cast<char>(i * 7 % 251);
    std::ofstream(zip, std::ios::binary) << content;

    ServiceOptions options;
    options.port = 0;
    options.databasePath = db;
    options.publicUrl = "http://service.example/";
    std::string error;
    {
        auto service = Service::start(options, &error);
        ASSERT_NE(service, nullptr) << error;
        httplib::Client c("127.0.0.1", service->port());
        auto none = c.Get("/update/package.zip");
        ASSERT_TRUE(none);
        EXPECT_EQ(none->status, 404);
        auto info = nlohmann::json::parse(c.Get("/api/service-info")->body);
        EXPECT_EQ(info["packageAddress"], "http://service.example/update/package.zip");
    }
    {
        auto registry = Registry::open(db, &error);
        ASSERT_NE(registry, nullptr) << error;
        EXPECT_TRUE(registry->markTaken("苏J00001"));
        EXPECT_TRUE(registry->setSetting("line_count", "5"));
    }
    options.packagePath = zip;
    options.latestVersion = "2.2.0";
    auto service = Service::start(options, &error);
    ASSERT_NE(service, nullptr) << error;
    httplib::Client c("127.0.0.1", service->port());
    auto package = c.Get("/update/package.zip");
    ASSERT_TRUE(package);
    EXPECT_EQ(package->status, 200);
    EXPECT_EQ(package->body, content);
    EXPECT_EQ(nlohmann::json::parse(c.Get("/api/service-info")->body)["latestVersion"], "2.2.0");
    EXPECT_EQ(c.Get("/GetLine.php")->body, "5");

    const std::string user = "restart-user";
    auto tok = c.Post("/api/token", "userIdentifier=" + user, "application/x-www-form-urlencoded");
    ASSERT_TRUE(tok);
    auto relayed = c.Post("/relay",
                          "hphm=" + percent("苏J00001") + "&hpzl=02&id=" + user +
                              "&Token=" + tok->body + "&hphma=" + percent("苏J") + "&line=5",
                          "application/x-www-form-urlencoded");
    ASSERT_TRUE(relayed);
    EXPECT_EQ(relayed->body, "\xD2\xD1\xD5\xBC\xD3\xC3");
}

TEST(ServiceStart, FailsCleanlyOnAnUnusableDataFileOrPort) {
    TempDir dir("yhz-service-bad");
    ServiceOptions options;
    options.port = 0;
    options.databasePath = (dir.path() / "missing-folder" / "service.sqlite").string();
    std::string error;
    EXPECT_EQ(Service::start(options, &error), nullptr);
    EXPECT_FALSE(error.empty());

    options.databasePath = (dir.path() / "service.sqlite").string();
    auto first = Service::start(options, &error);
    ASSERT_NE(first, nullptr) << error;
    options.port = first->port();
    error.clear();
    EXPECT_EQ(Service::start(options, &error), nullptr);
    EXPECT_NE(error.find("cannot listen"), std::string::npos);
}

class AccessBookTest : public ::testing::Test {
protected:
    AccessBook::Clock::time_point now{};
    AccessBook book(AccessLimits limits) {
        return AccessBook(limits, [this] { return now; });
    }
};

TEST_F(AccessBookTest, TokensExpireAndAreBoundedPerUserAndInTotal) {
    AccessLimits limits;
    limits.tokenLifetime = std::chrono::seconds(60);
    limits.maxTokens = 5;
    limits.maxTokensPerUser = 3;
    AccessBook access = book(limits);

    std::string early = *access.issue("u");
    now += std::chrono::seconds(61);
    EXPECT_EQ(access.begin("u", early), AccessBook::Begin::BadToken);

    std::vector<std::string> tokens;
    for (int i = 0; i < 4; ++i)
        tokens.push_back(*access.issue("u"));
    // The fourth retired the first.
    EXPECT_EQ(access.begin("u", tokens[0]), AccessBook::Begin::BadToken);
    EXPECT_EQ(access.liveTokens(), 3u);
    access.issue("v");
    access.issue("v");
    EXPECT_FALSE(access.issue("w").has_value());  // five live tokens: full
    now += std::chrono::seconds(61);
    EXPECT_TRUE(access.issue("w").has_value());
    EXPECT_EQ(access.liveTokens(), 1u);
}

TEST_F(AccessBookTest, SlotsAreCountedPerUserAndGivenBack) {
    AccessBook access = book(AccessLimits{});
    std::string a = *access.issue("u"), b = *access.issue("u"), c = *access.issue("u");
    EXPECT_EQ(access.begin("u", a), AccessBook::Begin::Started);
    EXPECT_EQ(access.begin("u", b), AccessBook::Begin::Started);
    EXPECT_EQ(access.begin("u", c), AccessBook::Begin::Busy);
    access.end("u");
    // A busy answer did not use the token up.
    EXPECT_EQ(access.begin("u", c), AccessBook::Begin::Started);
    access.end("u");
    access.end("u");
    access.end("u");  // one too many is harmless
    EXPECT_EQ(access.usersInFlight(), 0u);
}

TEST_F(AccessBookTest, UsedTokensDoNotPileUp) {
    AccessLimits limits;
    limits.maxTokens = 10;
    AccessBook access = book(limits);
    for (int i = 0; i < 20000; ++i) {
        std::string t = *access.issue("u");
        ASSERT_EQ(access.begin("u", t), AccessBook::Begin::Started);
        access.end("u");
    }
    EXPECT_EQ(access.liveTokens(), 0u);
}

}  // namespace
}  // namespace yhz::service
