// How the service program treats another client while one address takes
// more than its share (run it against a build of yhz-service):
//
//   fair_share_probe PATH/TO/yhz-service [downloads|relay]
//
// downloads: 600 connections from 127.0.0.1 ask for a 64 MiB package and
//   never read; meanwhile GET /GetLine.php from ::1 (another client address:
//   every 127.x.y.z counts as one), and further connections from 127.0.0.1.
// relay: 60 users x 2 relay posts in flight from 127.0.0.1 for five
//   seconds; meanwhile GET /GetLine.php from ::1 every 20 ms.
//
// The service listens on "::", which takes IPv4 and IPv6 alike. Every
// request from ::1 goes on a new connection; its time runs from connect()
// to the end of the reply's head.
#include <httplib.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "support/raw_client.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using yhz::testing::RawClient;

// Status (0 for none) and milliseconds of one request from ::1.
std::pair<int, double> timedFromIpv6(int port, const std::string& path) {
    const auto start = Clock::now();
    const int status = yhz::testing::statusFromIpv6Loopback(
        port, "GET " + path + " HTTP/1.1\r\nHost: [::1]\r\nConnection: close\r\n\r\n");
    const std::chrono::duration<double, std::milli> took = Clock::now() - start;
    return {status, took.count()};
}

void report(const char* what, std::vector<std::pair<int, double>> samples) {
    std::map<int, int> statuses;
    std::vector<double> times;
    for (const auto& [status, ms] : samples) {
        ++statuses[status];
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("%s: %zu requests, median %.1f ms, max %.1f ms; statuses:", what, times.size(),
                times.empty() ? 0 : times[times.size() / 2], times.empty() ? 0 : times.back());
    for (const auto& [status, n] : statuses)
        std::printf(" %d x%d", status, n);
    std::printf("%s\n", statuses.count(0) ? " (0: no answer)" : "");
}

void downloads(int port) {
    std::vector<std::unique_ptr<RawClient>> hostile;
    for (int i = 0; i < 600; ++i) {
        hostile.push_back(std::make_unique<RawClient>(port));
        hostile.back()->send("GET /update/package.zip HTTP/1.1\r\nHost: x\r\n\r\n", 200ms);
    }
    std::map<int, int> seen;
    for (auto& client : hostile)
        ++seen[yhz::testing::statusOf(client->readUntil("\r\n\r\n", 2s))];
    std::printf("600 downloads never read, from 127.0.0.1:");
    for (const auto& [status, n] : seen)
        std::printf(" %d x%d", status, n);
    std::printf(" (0: closed unanswered)\n");
    // The client keeps trying for more: ten new connections a round (those
    // turned away with 503 have been closed meanwhile and make room for a
    // few), then one request from ::1.
    std::vector<std::pair<int, double>> others;
    std::map<int, int> more;
    for (int round = 0; round < 20; ++round) {
        for (int i = 0; i < 10; ++i) {
            hostile.push_back(std::make_unique<RawClient>(port));
            hostile.back()->send("GET /update/package.zip HTTP/1.1\r\nHost: x\r\n\r\n", 200ms);
            ++more[yhz::testing::statusOf(hostile.back()->readUntil("\r\n\r\n", 2s))];
        }
        others.push_back(timedFromIpv6(port, "/GetLine.php"));
        std::this_thread::sleep_for(50ms);
    }
    std::printf("200 further connections from 127.0.0.1 meanwhile:");
    for (const auto& [status, n] : more)
        std::printf(" %d x%d", status, n);
    std::printf(" (0: closed unanswered)\n");
    report("GET /GetLine.php from ::1 meanwhile", others);
}

void relay(int port) {
    constexpr int kUsers = 60;
    std::vector<std::string> users;
    httplib::Client setup("127.0.0.1", port);
    for (int u = 0; u < kUsers; ++u) {
        users.push_back("probe-" + std::to_string(u));
        setup.Get(("/api/token?userIdentifier=" + users.back()).c_str());
    }
    std::atomic<bool> going{true};
    std::mutex mutex;
    std::map<int, int> answers;
    std::vector<std::thread> posters;
    for (int i = 0; i < 2 * kUsers; ++i) {
        posters.emplace_back([&, user = users[static_cast<std::size_t>(i / 2)], i] {
            httplib::Client c("127.0.0.1", port);
            c.set_keep_alive(true);
            c.set_read_timeout(30s);
            const std::string plate = "%E7%B2%A4BD" + std::to_string(10000 + i);
            while (going) {
                auto token = c.Get(("/api/token?userIdentifier=" + user).c_str());
                int status = 0;
                if (token && token->status == 200) {
                    auto res = c.Post("/relay",
                                      "hphm=" + plate + "&hpzl=52&id=" + user +
                                          "&Token=" + token->body + "&hphma=%E7%B2%A4B&line=1",
                                      "application/x-www-form-urlencoded");
                    status = res ? res->status : 0;
                } else {
                    status = token ? 1000 + token->status : -1;
                }
                std::lock_guard lock(mutex);
                ++answers[status];
            }
        });
    }
    std::this_thread::sleep_for(500ms);
    std::vector<std::pair<int, double>> others;
    for (const auto end = Clock::now() + 5s; Clock::now() < end;) {
        others.push_back(timedFromIpv6(port, "/GetLine.php"));
        std::this_thread::sleep_for(20ms);
    }
    going = false;
    for (auto& t : posters)
        t.join();
    std::printf("relay posts from 127.0.0.1 (120 in flight):");
    for (const auto& [status, n] : answers)
        std::printf(" %d x%d", status, n);
    std::printf(" (1xxx: token refused with xxx, 0: no answer)\n");
    report("GET /GetLine.php from ::1 meanwhile", others);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: fair_share_probe PATH/TO/yhz-service [downloads|relay]\n");
        return 2;
    }
    const std::string only = argc > 2 ? argv[2] : "";
    const fs::path dir =
        fs::temp_directory_path() / ("yhz-fair-probe-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path zip = dir / "package.zip";
    std::ofstream(zip).close();
    fs::resize_file(zip, 64u * 1024 * 1024);
    int status = 0;
    for (const std::string scenario : {"downloads", "relay"}) {
        if (!only.empty() && only != scenario)
            continue;
        // A fresh service for each, so that one leaves nothing to the other.
        yhz::testing::ChildProcess service({argv[1], "--address", "::", "--port", "0", "--data",
                                            (dir / (scenario + ".sqlite")).string(), "--package",
                                            zip.string()});
        std::smatch m;
        const std::string& out = service.output();
        if (!service.waitForOutput("\n", 60s) ||
            !std::regex_search(out, m, std::regex(":(\\d+)\n"))) {
            std::fprintf(stderr, "the service did not start: %s\n", out.c_str());
            status = 1;
            break;
        }
        const int port = std::stoi(m[1].str());
        if (scenario == "downloads")
            downloads(port);
        else
            relay(port);
        service.terminate(5s);
    }
    std::error_code ignored;
    fs::remove_all(dir, ignored);
    return status;
}
