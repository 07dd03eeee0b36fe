// The package download: a file only from a 200 reply whose whole body
// arrived, progress on the way, and a stop that ends it at once.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>
#include <vector>

#include "net/http_client.h"
#include "support/loopback.h"
#include "support/temp_dir.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;
using test::RawReplyServer;
using test::RunningServer;

std::string randomBytes(size_t n) {
    std::mt19937 gen(7);
    std::string bytes(n, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(gen() & 0xFF);
    }
    return bytes;
}

using yhz::testing::readFile;

class Download : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        body_ = new std::string(randomBytes(300 * 1024));
        auto server = std::make_unique<httplib::Server>();
        server->Get("/package.zip", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(*body_, "application/zip");
        });
        server->Get("/moved", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/package.zip");
        });
        server->Get("/chunked", [](const httplib::Request&, httplib::Response& res) {
            res.set_chunked_content_provider(
                "application/zip", [](size_t offset, httplib::DataSink& sink) {
                    if (offset >= body_->size()) {
                        sink.done();
                        return true;
                    }
                    return sink.write(body_->data() + offset,
                                      std::min<size_t>(8192, body_->size() - offset));
                });
        });
        server->Get("/missing", [](const httplib::Request&, httplib::Response& res) {
            res.status = 404;
            res.set_content("no such package", "text/plain");
        });
        // Sends a little, then a byte now and then until the test lets go.
        server->Get("/slow", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1024 * 1024, "application/zip",
                                     [](size_t, size_t, httplib::DataSink& sink) {
                                         if (release_) {
                                             return false;
                                         }
                                         std::this_thread::sleep_for(std::chrono::milliseconds(20));
                                         return sink.write("x", 1);
                                     });
        });
        server_ = new RunningServer(std::move(server));
    }
    static void TearDownTestSuite() {
        release_ = true;
        delete server_;
        delete body_;
    }
    static std::string at(const std::string& path) {
        return "http://127.0.0.1:" + std::to_string(server_->port()) + path;
    }

    testing::TempDir dir_{"yhz-download"};
    fs::path target_ = dir_.path() / "package.zip";
    static inline std::string* body_ = nullptr;
    static inline RunningServer* server_ = nullptr;
    static inline std::atomic<bool> release_{false};
};

TEST_F(Download, theWholeBodyWithItsTotalAndProgressAlsoAfterARedirect) {
    for (const char* path : {"/package.zip", "/moved"}) {
        std::vector<std::int64_t> totals;
        std::vector<std::int64_t> progress;
        DownloadArgs args;
        args.onTotal = [&](std::int64_t total) {
            totals.push_back(total);
            EXPECT_TRUE(progress.empty()) << "the total comes before the first byte";
        };
        args.onReceived = [&](std::int64_t received) { progress.push_back(received); };
        const DownloadResult result = HttpClient().download(at(path), target_.string(), args);
        ASSERT_TRUE(result.complete()) << path;
        EXPECT_EQ(result.status, 200);
        EXPECT_EQ(totals, std::vector<std::int64_t>{300 * 1024});
        ASSERT_FALSE(progress.empty());
        EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
        EXPECT_EQ(progress.back(), 300 * 1024);
        EXPECT_EQ(readFile(target_), *body_);
    }
    // A chunked body has an end of its own, though no length.
    std::int64_t total = -7;
    DownloadArgs args;
    args.onTotal = [&](std::int64_t t) { total = t; };
    const DownloadResult chunked = HttpClient().download(at("/chunked"), target_.string(), args);
    EXPECT_TRUE(chunked.complete());
    EXPECT_EQ(total, -7) << "no total without a length";
    EXPECT_EQ(readFile(target_), *body_);
}

TEST_F(Download, anythingButTheWholeBodyOfA200LeavesNoFile) {
    auto expectNoFile = [&](const std::string& address, const char* what, HttpLimits limits = {}) {
        std::ofstream(target_) << "an older file";
        const DownloadResult result = HttpClient(limits).download(address, target_.string());
        EXPECT_EQ(result.outcome, DownloadOutcome::Failed) << what;
        EXPECT_FALSE(fs::exists(target_)) << what;
        return result;
    };
    EXPECT_EQ(expectNoFile(at("/missing"), "error status").status, 404);

    RawReplyServer cut("HTTP/1.1 200 OK\r\nContent-Length: 1000\r\n\r\n" + std::string(500, 'z'));
    const DownloadResult shortBody =
        expectNoFile("http://127.0.0.1:" + std::to_string(cut.port()) + "/p.zip", "cut short");
    EXPECT_EQ(shortBody.announced, 1000);
    EXPECT_EQ(shortBody.received, 500);

    RawReplyServer open("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + std::string(500, 'z'));
    const DownloadResult unbounded = expectNoFile(
        "http://127.0.0.1:" + std::to_string(open.port()) + "/p.zip", "ends with the connection");
    EXPECT_EQ(unbounded.status, 200);
    EXPECT_EQ(unbounded.received, 500) << "every byte arrived, yet nothing says it was all";

    HttpLimits small;
    small.maxBodyBytes = 100 * 1024;
    expectNoFile(at("/package.zip"), "over the size bound", small);
    expectNoFile(at("/chunked"), "chunked over the size bound", small);
    expectNoFile("http://127.0.0.1:" + std::to_string(test::closedPort()) + "/p.zip",
                 "nobody listens");
}

TEST_F(Download, aLinkAtTheTargetIsNotFollowed) {
    const fs::path elsewhere = dir_.path() / "elsewhere.txt";
    std::ofstream(elsewhere) << "keep";
    fs::create_symlink(elsewhere, target_);
    EXPECT_FALSE(HttpClient().download(at("/package.zip"), target_.string()).complete());
    EXPECT_EQ(readFile(elsewhere), "keep");
}

TEST_F(Download, aStopEndsTheDownloadAtOnceAndRemovesThePart) {
    std::stop_source stop;
    std::atomic<std::int64_t> received{0};
    DownloadArgs args;
    args.stop = stop.get_token();
    args.onReceived = [&](std::int64_t n) { received = n; };
    std::thread stopper([&] {
        while (received < 3) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        stop.request_stop();
    });
    const auto began = std::chrono::steady_clock::now();
    const DownloadResult result = HttpClient().download(at("/slow"), target_.string(), args);
    stopper.join();
    EXPECT_EQ(result.outcome, DownloadOutcome::Stopped);
    EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(10));
    EXPECT_FALSE(fs::exists(target_));
}

TEST(ReplyStatus, readsTheStatusLine) {
    EXPECT_EQ(replyStatus("HTTP/1.1 200 OK\r\nA: b\r\n"), 200);
    EXPECT_EQ(replyStatus("HTTP/1.0 500 Internal Server Error\r\n"), 500);
    EXPECT_EQ(replyStatus("HTTP/1.1 20"), 0);
    EXPECT_EQ(replyStatus(""), 0);
    EXPECT_EQ(replyStatus("Content-Type: x\r\n"), 0);
}

}  // namespace
}  // namespace yhz
