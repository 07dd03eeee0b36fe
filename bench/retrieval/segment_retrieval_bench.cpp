// The segment retrieval against a loopback HTTPS site that serves 200 pages
// of 20 segments the way the simulator does (session cookie and header
// checked, JSON built per request), beside what the site itself spends:
//  - retrieval: the whole run (201 requests, rows into the store), per page;
//  - bare request: one webRequest of the same page, nothing else;
//  - keep-alive: the same page through one reused connection (cpp-httplib
//    client), the least a client can pay for it;
//  - service: the time the server's handler takes for a page.
// Afterwards the resident memory of the process with the 4000 rows held.
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>

#include "base/operation_log.h"
#include "base/window_access.h"
#include "plates/segment_store.h"
#include "retrieval/site_interface.h"
#include "retrieval/site_retrieval.h"
#include "support/loopback.h"

namespace {

constexpr int kPages = 200;
constexpr int kPageSize = 20;
constexpr const char* kSession = "JSESSIONID=0123456789ABCDEF0123456789ABCDEF";

long residentKb() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

class QuietWindow final : public yhz::WindowAccess {
public:
    yhz::MessageAnswer showMessage(const yhz::MessageRequest&) override {
        return yhz::MessageAnswer::Ok;
    }
    void setCaption(std::string_view, const std::string&) override {}
    void setEnabled(std::string_view, bool) override {}
    void setVisible(std::string_view, bool) override {}
    std::string editText(std::string_view) const override { return {}; }
    void setEditText(std::string_view, const std::string&) override {}
    int selection(std::string_view) const override { return -1; }
    void setSelection(std::string_view, int) override {}
    void addItem(std::string_view, const std::string&) override {}
    int itemCount(std::string_view) const override { return 0; }
    std::string itemText(std::string_view, int) const override { return {}; }
    int currentPage() const override { return 0; }
    void setCurrentPage(int) override {}
    void logCleared() override {}
    void logAppended(const std::string&) override {}
};

class Site {
public:
    Site() : cert_(ca_.issueServer()) {
        yhz::HttpClient::setCaBundle(ca_.pemPath());
        auto server = std::make_unique<httplib::SSLServer>(cert_.cert, cert_.key);
        server->Post("/m/mvehxh/getTfhdList",
                     [this](const httplib::Request& req, httplib::Response& res) {
                         const auto start = std::chrono::steady_clock::now();
                         serve(req, res);
                         serviceNs_ += std::chrono::duration_cast<std::chrono::nanoseconds>(
                                           std::chrono::steady_clock::now() - start)
                                           .count();
                         ++served_;
                     });
        server->set_tcp_nodelay(true);
        running_ = std::make_unique<yhz::test::RunningServer>(std::move(server));
    }
    std::string address() const {
        return "https://localhost:" + std::to_string(running_->port()) + "/m/mvehxh/getTfhdList";
    }
    int port() const { return running_->port(); }
    void resetService() {
        serviceNs_ = 0;
        served_ = 0;
    }
    double serviceUsPerPage() const {
        return served_ == 0
                   ? 0.0
                   : static_cast<double>(serviceNs_) / static_cast<double>(served_) / 1000.0;
    }
    const std::string& caPath() const { return ca_.pemPath(); }

private:
    static void serve(const httplib::Request& req, httplib::Response& res) {
        if (req.get_header_value("X-Requested-With") != "XMLHttpRequest" ||
            req.get_header_value("Cookie").find(kSession) == std::string::npos) {
            res.status = 401;
            res.set_content(R"({"code":401})", "application/json");
            return;
        }
        const int page = std::atoi(req.get_param_value("page").c_str());
        nlohmann::json content = nlohmann::json::array();
        for (int k = 0; page >= 1 && page <= kPages && k < kPageSize; ++k) {
            const int n = (page - 1) * kPageSize + k;
            char start[16];
            std::snprintf(start, sizeof start, "J%05d", n * 100 % 100000);
            content.push_back({{"subhd", std::string(start) + " ~" + start},
                               {"tfrq", "2024-05-01"},
                               {"glbm", "320900000400"},
                               {"hpzl", "02"}});
        }
        const nlohmann::json body = {{"code", 200},
                                     {"message", "成功"},
                                     {"data",
                                      {{"list",
                                        {{"totalCount", kPages * kPageSize},
                                         {"page", page},
                                         {"pageSize", kPageSize},
                                         {"content", std::move(content)}}}}}};
        res.set_content(body.dump(), "application/json;charset=UTF-8");
    }

    yhz::test::TestCa ca_;
    yhz::test::KeyAndCert cert_;
    std::unique_ptr<yhz::test::RunningServer> running_;
    std::atomic<long long> serviceNs_{0};
    std::atomic<long long> served_{0};
};

Site& site() {
    static Site s;
    return s;
}

const std::string kForm = "&glbm=320900000400&hpzl=02&startTime=2024-01-01&endTime=2024-12-31";

void retrieval(benchmark::State& state) {
    Site& s = site();
    QuietWindow window;
    yhz::OperationLog log(window);
    // As the program's retrieval does: one client per run, keeping its connection.
    const yhz::HttpClient client = yhz::HttpClient::keepingConnections();
    yhz::SegmentStore segments;
    s.resetService();
    for (auto _ : state) {
        yhz::runSegmentRetrieval({window, log, client, s.address(), kSession, kForm}, segments);
        if (segments.rowCount() != kPages * kPageSize) {
            state.SkipWithError("rows missing");
            break;
        }
    }
    state.counters["us_per_page"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * (kPages + 1),
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["service_us_per_page"] = s.serviceUsPerPage();
    state.counters["rss_kb_after"] = static_cast<double>(residentKb());
}
BENCHMARK(retrieval)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(3.0);

void bareRequest(benchmark::State& state) {
    Site& s = site();
    const yhz::HttpClient client;
    s.resetService();
    int page = 0;
    for (auto _ : state) {
        yhz::CookieJar cookies = kSession;
        std::string headers(yhz::kSiteHeaderText);
        const std::string reply =
            client.webRequest(s.address(), {.method = 1,
                                            .formText = yhz::pageBody(page++ % kPages + 1, kForm),
                                            .cookieText = &cookies,
                                            .headerText = &headers});
        benchmark::DoNotOptimize(reply.data());
    }
    state.counters["service_us_per_page"] = s.serviceUsPerPage();
}
BENCHMARK(bareRequest)->Unit(benchmark::kMicrosecond)->UseRealTime();

void keepAlive(benchmark::State& state) {
    Site& s = site();
    httplib::SSLClient client("localhost", s.port());
    client.set_ca_cert_path(s.caPath().c_str());
    client.enable_server_certificate_verification(true);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    const httplib::Headers headers = {{"Cookie", kSession}, {"X-Requested-With", "XMLHttpRequest"}};
    s.resetService();
    int page = 0;
    for (auto _ : state) {
        auto res =
            client.Post("/m/mvehxh/getTfhdList", headers, yhz::pageBody(page++ % kPages + 1, kForm),
                        "application/x-www-form-urlencoded; charset=UTF-8");
        if (!res || res->status != 200) {
            state.SkipWithError("request failed");
            break;
        }
    }
    state.counters["service_us_per_page"] = s.serviceUsPerPage();
}
BENCHMARK(keepAlive)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
