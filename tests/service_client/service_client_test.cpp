#include <gtest/gtest.h>

#include <chrono>

#include "base/operation_log.h"
#include "net/http_client.h"
#include "region/region_catalog.h"
#include "region/startup_data.h"
#include "service_client/service_client.h"
#include "support/loopback.h"
#include "support/loopback_service.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

class ServiceClientTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        service_ = new test::LoopbackService(std::chrono::milliseconds(0));
        ASSERT_TRUE(service_->started()) << service_->error();
    }
    static void TearDownTestSuite() {
        delete service_;
        service_ = nullptr;
    }
    static std::string base() { return service_->base(); }

    static inline test::LoopbackService* service_ = nullptr;
};

TEST_F(ServiceClientTest, ServiceInformationArrivesInGbk) {
    ServiceClient client(base());
    const auto info = client.obtain();
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->latestVersion, "2.1.2");
    EXPECT_FALSE(info->announcement.empty());
    EXPECT_EQ(localToUtf8(utf8ToLocal(localToUtf8(info->announcement))),
              localToUtf8(info->announcement));
    EXPECT_EQ(relayAddressFrom(info->serviceConfigJson), base() + "/relay");
}

TEST_F(ServiceClientTest, TokensAre32BytesAndFreshEachTime) {
    ServiceClient client(base());
    const std::string a = client.accessToken(userIdentifier());
    const std::string b = client.accessToken(userIdentifier());
    EXPECT_EQ(a.size(), 32u);
    EXPECT_EQ(b.size(), 32u);
    EXPECT_NE(a, b);
    // An identifier the service refuses gets its error text, never 32 bytes.
    EXPECT_NE(client.accessToken("bad id with spaces").size(), 32u);
}

TEST_F(ServiceClientTest, StartUpDataFromTheRealService) {
    test::RecordingWindow window;
    OperationLog log(window);
    StartupValues values;
    ServiceClient client(base());
    const std::string address = base();
    runStartupData(
        {window, log, values, client.obtain(), [address](std::string_view path, std::stop_token) {
             return HttpClient().webRequest(address + std::string(path));
         }});
    EXPECT_EQ(window.itemCount("组合框1"), 53);
    EXPECT_EQ(window.itemCount("组合框2"), 3);
    EXPECT_EQ(values.relayAddress(), base() + "/relay");
    EXPECT_FALSE(window.captions["透明标签_公告"].empty());
    const std::string content = log.content();
    EXPECT_EQ(content.rfind(std::string(41, '-') + "\r\n", 0), 0u);
    EXPECT_GT(content.size(), 41u + 2 + 2 + 40);
}

TEST(ServiceClient, DownServiceNeverHoldsUpTheStart) {
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(ServiceClient("http://127.0.0.1:1").obtain().has_value());
    EXPECT_EQ(ServiceClient("http://127.0.0.1:1").accessToken("u1"), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

    test::SilentListener silent;
    started = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        ServiceClient("http://127.0.0.1:" + std::to_string(silent.port())).obtain().has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));

    // A service that keeps the call alive a byte at a time: the start-up
    // call still gives up within its few seconds.
    test::DrippingServer dripping(std::chrono::milliseconds(300));
    started = std::chrono::steady_clock::now();
    EXPECT_FALSE(
        ServiceClient("http://127.0.0.1:" + std::to_string(dripping.port())).obtain().has_value());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(4));
}

TEST(ServiceClient, AnswersThatAreNotServiceInformation) {
    EXPECT_FALSE(parseServiceInfo("").has_value());
    EXPECT_FALSE(parseServiceInfo("<html>").has_value());
    EXPECT_FALSE(parseServiceInfo("[1,2]").has_value());
    EXPECT_FALSE(parseServiceInfo(R"({"latestVersion":2.1})").has_value());
    const auto info =
        parseServiceInfo(R"({"latestVersion":"2.1.2","announcement":"\u516c\u544a"})");
    ASSERT_TRUE(info.has_value());
    EXPECT_EQ(info->announcement, gbk("公告"));
    EXPECT_EQ(info->serviceConfigJson, "");
}

TEST(ServiceClient, OnlyAnAnswerWithStatus200Counts) {
    // An error page that carries JSON must not send the start into the updater.
    auto server = std::make_unique<httplib::Server>();
    server->Get("/api/service-info", [](const httplib::Request&, httplib::Response& res) {
        res.status = 500;
        res.set_content(R"({"latestVersion":"9.9.9","packageName":"x"})", "application/json");
    });
    server->set_pre_routing_handler([](const httplib::Request& req, httplib::Response& res) {
        if (req.path == "/fine/api/service-info") {
            res.set_content(R"({"latestVersion":"9.9.9"})", "application/json");
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });
    test::RunningServer running(std::move(server));
    const std::string base = "http://127.0.0.1:" + std::to_string(running.port());
    EXPECT_FALSE(ServiceClient(base).obtain().has_value());
    const auto fine = ServiceClient(base + "/fine").obtain();
    ASSERT_TRUE(fine.has_value());
    EXPECT_EQ(fine->latestVersion, "9.9.9");
}

TEST(ServiceClient, UserIdentifierIsStablePerMachine) {
    EXPECT_EQ(userIdentifier(), userIdentifier());
    EXPECT_EQ(userIdentifierFor("abc"), userIdentifierFor("abc"));
    EXPECT_NE(userIdentifierFor("abc"), userIdentifierFor("abd"));
    EXPECT_EQ(userIdentifier().size(), 17u);
}

}  // namespace
}  // namespace yhz
