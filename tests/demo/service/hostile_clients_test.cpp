// The service program as a process of its own against clients that
// misbehave: its memory stays put, others are served, SIGTERM ends it.
#include <gtest/gtest.h>
#include <httplib.h>

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

class ServiceProcess : public ::testing::Test {
protected:
    void SetUp() override {
        // A package larger than the socket buffers: a download that is never
        // read keeps a handler writing.
        const std::string zip = (dir.path() / "package.zip").string();
        std::ofstream(zip, std::ios::binary) << std::string(48 * 1024 * 1024, 'z');
        process = std::make_unique<ServerProcess>(
            std::vector<std::string>{YHZ_SERVICE_PROGRAM, "--port", "0", "--data",
                                     (dir.path() / "s.sqlite").string(), "--package", zip},
            ":(\\d+)\n");
        port = process->port();
        ASSERT_NE(port, 0) << process->output();
    }
    int get(const std::string& path) {
        httplib::Client c("127.0.0.1", port);
        c.set_read_timeout(5s);
        auto res = c.Get(path.c_str());
        return res ? res->status : 0;
    }

    testing::TempDir dir{"yhz-service-hostile"};
    std::unique_ptr<ServerProcess> process;
    int port = 0;
};

TEST_F(ServiceProcess, HugeChunkedBodiesAndHeaderSectionsCostNoMemory) {
    ASSERT_EQ(get("/GetLine.php"), 200);
    const long before = testing::residentKiB(process->pid());
    constexpr std::size_t kAttempt = 200u * 1024 * 1024;
    {
        RawClient chunked(port);
        chunked.send("POST /relay HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n");
        const std::string chunk = "10000\r\n" + std::string(0x10000, 'c') + "\r\n";
        EXPECT_LT(chunked.sendRepeated(chunk, kAttempt, 10s), kAttempt / 8);
    }
    {
        RawClient headers(port);
        headers.send("GET /GetLine.php HTTP/1.1\r\n");
        std::string lines;
        for (int i = 0; i < 500; ++i)
            lines += "X-Filler: " + std::string(100, 'f') + "\r\n";
        EXPECT_LT(headers.sendRepeated(lines, kAttempt / 2, 10s), kAttempt / 8);
    }
    const long after = testing::residentKiB(process->pid());
    EXPECT_LT(after - before, 8 * 1024) << before << " KiB before, " << after << " KiB after";
    EXPECT_EQ(get("/GetLine.php"), 200);
}

TEST_F(ServiceProcess, ServesOthersWhileFortyClientsDripAndEndsPromptlyOnSigterm) {
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 40; ++i) {
        slow.push_back(std::make_unique<RawClient>(port));
        slow.back()->send("POST /relay HTTP/1.1\r\nX-Slow: 1\r\n");
    }
    for (int round = 0; round < 3; ++round) {
        for (auto& client : slow)
            client->send("X-More: 1\r\n");
        EXPECT_EQ(get("/GetLine.php"), 200);
    }
    // Downloads nobody reads hold handler threads in a write.
    for (int i = 0; i < 2; ++i) {
        slow.push_back(std::make_unique<RawClient>(port));
        slow.back()->send("GET /update/package.zip HTTP/1.1\r\n\r\n");
    }
    std::this_thread::sleep_for(300ms);
    EXPECT_TRUE(process->endsPromptlyOnSigterm());
}

}  // namespace
}  // namespace yhz::service
