// The service program as a process of its own against one client that takes
// more than its share: others are still served, and at once.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "support/raw_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace yhz::service {
namespace {

using namespace std::chrono_literals;
using testing::RawClient;
using testing::ServerProcess;
using testing::statusFromIpv6Loopback;

class FairShare : public ::testing::Test {
protected:
    // Listens on every address, IPv4 and IPv6 alike, so that a test can be
    // two clients at once: 127.0.0.1 and ::1.
    void start(std::vector<std::string> extra, const char* address = "::") {
        std::vector<std::string> argv{YHZ_SERVICE_PROGRAM,
                                      "--address",
                                      address,
                                      "--port",
                                      "0",
                                      "--data",
                                      (dir.path() / "s.sqlite").string()};
        argv.insert(argv.end(), extra.begin(), extra.end());
        process = std::make_unique<ServerProcess>(argv, ":(\\d+)\n");
        port = process->port();
        ASSERT_NE(port, 0) << process->output();
    }

    testing::TempDir dir{"yhz-service-fair"};
    std::unique_ptr<ServerProcess> process;
    int port = 0;
};

constexpr const char* kLineCount = "GET /GetLine.php HTTP/1.1\r\nHost: [::1]\r\n\r\n";

TEST_F(FairShare, DownloadsNeverReadFromOneAddressLeaveRoomForOthers) {
    // Larger than any socket buffers: a download that is never read stays
    // unfinished. Sparse, so it costs no disk.
    const auto zip = dir.path() / "package.zip";
    std::ofstream(zip).close();
    std::filesystem::resize_file(zip, 64u * 1024 * 1024);
    ASSERT_NO_FATAL_FAILURE(start({"--package", zip.string()}));

    // More than the whole connection table, all from 127.0.0.1.
    constexpr int kHostile = 520;
    std::vector<std::unique_ptr<RawClient>> hostile;
    for (int i = 0; i < kHostile; ++i) {
        hostile.push_back(std::make_unique<RawClient>(port));
        hostile.back()->send("GET /update/package.zip HTTP/1.1\r\nHost: x\r\n\r\n", 200ms);
    }
    int downloading = 0;
    int turnedAway = 0;
    int unanswered = 0;
    for (auto& client : hostile) {
        switch (testing::statusOf(client->readUntil("\r\n\r\n", 2s))) {
            case 200:
                ++downloading;
                break;
            case 503:
                ++turnedAway;
                break;
            default:
                ++unanswered;
        }
    }
    // Those turned away with 503 end within a second or so and make room
    // for a few more, hence the margin.
    EXPECT_LE(downloading, 4);
    EXPECT_GE(turnedAway, 1);
    EXPECT_GE(unanswered, kHostile - 2 * 128);
    // The downloads still hold their connections, and another client is
    // served.
    EXPECT_EQ(statusFromIpv6Loopback(port, kLineCount), 200);
}

TEST_F(FairShare, RelayLookupsWaitingHoldNoRequestThread) {
    ASSERT_NO_FATAL_FAILURE(start({"--threads", "2", "--relay-delay-ms", "4000"}));
    httplib::Client client("127.0.0.1", port);
    // Twice as many lookups as there are request threads, two per user.
    std::atomic<int> answered{0};
    std::vector<std::thread> lookups;
    for (int i = 0; i < 4; ++i) {
        const std::string user = "fair-" + std::to_string(i / 2);
        auto token = client.Get(("/api/token?userIdentifier=" + user).c_str());
        ASSERT_TRUE(token && token->status == 200);
        const std::string plate = "%E7%B2%A4BD1234" + std::to_string(i);
        const std::string form = "hphm=" + plate + "&hpzl=52&id=" + user + "&Token=" + token->body +
                                 "&hphma=%E7%B2%A4B&line=1";
        lookups.emplace_back([this, form, &answered] {
            httplib::Client c("127.0.0.1", port);
            c.set_read_timeout(20s);
            auto res = c.Post("/relay", form, "application/x-www-form-urlencoded");
            EXPECT_TRUE(res && res->status == 200) << (res ? res->body : "no answer");
            ++answered;
        });
    }
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(statusFromIpv6Loopback(port, kLineCount), 200);
    EXPECT_EQ(answered.load(), 0) << "the lookups should still be waiting";
    for (auto& t : lookups)
        t.join();
    EXPECT_EQ(answered.load(), 4);
}

TEST_F(FairShare, BracketsAnIpv6AddressInTheUrlsItMakes) {
    ASSERT_NO_FATAL_FAILURE(start({}, "::1"));
    const std::string base = "http://[::1]:" + std::to_string(port);
    EXPECT_NE(process->output().find("serving " + base + "\n"), std::string::npos)
        << process->output();
    httplib::Client client(base);
    auto info = client.Get("/api/service-info");
    ASSERT_TRUE(info);
    EXPECT_NE(info->body.find(base + "/update/package.zip"), std::string::npos) << info->body;
}

TEST_F(FairShare, AnHttp11RequestMustNameItsHostOnce) {
    ASSERT_NO_FATAL_FAILURE(start({}));
    const struct {
        const char* head;
        int status;
    } cases[] = {
        {"GET /GetLine.php HTTP/1.1\r\n\r\n", 400},
        {"GET /GetLine.php HTTP/1.1\r\nHost: a\r\nHost: b\r\n\r\n", 400},
        {"GET /GetLine.php HTTP/1.1\r\nHost: a\r\n\r\n", 200},
        {"GET /GetLine.php HTTP/1.0\r\n\r\n", 200},
    };
    for (const auto& c : cases) {
        RawClient client(port);
        client.send(c.head);
        EXPECT_EQ(testing::statusOf(client.readUntil("\r\n\r\n", 2s)), c.status) << c.head;
    }
}

}  // namespace
}  // namespace yhz::service
