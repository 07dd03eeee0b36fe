// Request latency on an open (keep-alive) connection to the two demo servers
// on loopback. The clients send with TCP_NODELAY, as libcurl does, so any
// delay left is the server's: a reply written in two pieces without
// TCP_NODELAY waits for the client's delayed acknowledgement (about 40 ms).
#include <benchmark/benchmark.h>
#include <httplib.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "demo/service/service.h"
#include "demo/site_sim/site_sim.h"
#include "support/demo_ca.h"

namespace {

namespace fs = std::filesystem;

struct Servers {
    fs::path dir;
    std::unique_ptr<yhz::service::Service> service;
    std::unique_ptr<yhz::sim::SiteSim> sim;

    Servers() {
        dir = fs::temp_directory_path() / ("yhz-demo-bench-" + std::to_string(::getpid()));
        fs::create_directories(dir);
        if (yhz::testing::makeDemoCa(dir) != 0)
            std::abort();
        std::string error;
        yhz::service::ServiceOptions serviceOptions;
        serviceOptions.port = 0;
        serviceOptions.databasePath = (dir / "service.sqlite").string();
        serviceOptions.relayDelay = std::chrono::milliseconds(0);
        // Larger than the socket buffers: a download nobody reads stays
        // unfinished.
        serviceOptions.packagePath = (dir / "package.zip").string();
        std::ofstream(serviceOptions.packagePath, std::ios::binary)
            << std::string(32 * 1024 * 1024, 'z');
        service = yhz::service::Service::start(serviceOptions, &error);
        yhz::sim::SiteSimOptions simOptions;
        simOptions.port = 0;
        simOptions.certificatePath = (dir / "server.pem").string();
        simOptions.keyPath = (dir / "server.key").string();
        sim = yhz::sim::SiteSim::start(simOptions, &error);
        if (!service || !sim)
            std::abort();
    }
    ~Servers() {
        service.reset();
        sim.reset();
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
};

Servers& servers() {
    static Servers s;
    return s;
}

httplib::Client serviceClient() {
    httplib::Client c("127.0.0.1", servers().service->port());
    c.set_keep_alive(true);
    c.set_tcp_nodelay(true);
    return c;
}

std::unique_ptr<httplib::SSLClient> simClient() {
    auto c = std::make_unique<httplib::SSLClient>("js-yc.localhost", servers().sim->port());
    c->set_hostname_addr_map({{"js-yc.localhost", "127.0.0.1"}});
    c->set_ca_cert_path((servers().dir / "ca.pem").string());
    c->enable_server_certificate_verification(true);
    c->set_keep_alive(true);
    c->set_tcp_nodelay(true);
    return c;
}

template <typename Request>
void run(benchmark::State& state, Request request, int wantedStatus) {
    for (auto _ : state) {
        httplib::Result res = request();
        if (!res || res->status != wantedStatus) {
            state.SkipWithError("unexpected reply");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}

void serviceGet(benchmark::State& state) {
    httplib::Client c = serviceClient();
    run(
        state, [&] { return c.Get("/GetLine.php"); }, 200);
}
BENCHMARK(serviceGet)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Clients that have sent half a request head and hold their connections,
// or (with `request`) a whole request whose reply they never read.
class SlowClients {
public:
    SlowClients(
        int port, int count,
        const std::string& request = "GET /GetLine.php HTTP/1.1\r\nHost: a\r\nX-Slow: 1\r\n") {
        for (int i = 0; i < count; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in addr{};
            addr.sin_family = AF_INET;
            addr.sin_port = htons(static_cast<std::uint16_t>(port));
            addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
            if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0) {
                [[maybe_unused]] ssize_t n =
                    ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
            }
            fds_.push_back(fd);
        }
    }
    ~SlowClients() {
        for (int fd : fds_)
            ::close(fd);
    }

private:
    std::vector<int> fds_;
};

// The same request while 40 other clients hold half-sent requests.
void serviceGetBesideFortySlowClients(benchmark::State& state) {
    SlowClients slow(servers().service->port(), 40);
    httplib::Client c = serviceClient();
    c.set_read_timeout(std::chrono::seconds(5));
    run(
        state, [&] { return c.Get("/GetLine.php"); }, 200);
}
BENCHMARK(serviceGetBesideFortySlowClients)->Unit(benchmark::kMicrosecond)->UseRealTime();

// The same request while two clients take the 32 MB package and never read
// it: the writes wait for those readers, no thread does.
void serviceGetBesideTwoStalledDownloads(benchmark::State& state) {
    SlowClients readers(servers().service->port(), 2,
                        "GET /update/package.zip HTTP/1.1\r\nHost: a\r\n\r\n");
    httplib::Client c = serviceClient();
    c.set_read_timeout(std::chrono::seconds(5));
    run(
        state, [&] { return c.Get("/GetLine.php"); }, 200);
}
BENCHMARK(serviceGetBesideTwoStalledDownloads)->Unit(benchmark::kMicrosecond)->UseRealTime();

void servicePost(benchmark::State& state) {
    httplib::Client c = serviceClient();
    // A form the relay turns away at once: the reply path without a lookup.
    run(
        state, [&] { return c.Post("/relay", "x=1", "application/x-www-form-urlencoded"); }, 400);
}
BENCHMARK(servicePost)->Unit(benchmark::kMicrosecond)->UseRealTime();

std::string simSession(httplib::SSLClient& c) {
    auto res = c.Get("/views/vehxhhdpub.html");
    const std::string cookie = res ? res->get_header_value("Set-Cookie") : "";
    return cookie.substr(0, cookie.find(';'));
}

void simPage(benchmark::State& state) {
    auto c = simClient();
    const httplib::Headers headers = {{"Cookie", simSession(*c)}};
    run(
        state, [&] { return c->Get("/views/vehxhhdpub.html", headers); }, 200);
}
BENCHMARK(simPage)->Unit(benchmark::kMicrosecond)->UseRealTime();

void simPost(benchmark::State& state) {
    auto c = simClient();
    const httplib::Headers headers = {{"Cookie", simSession(*c)},
                                      {"X-Requested-With", "XMLHttpRequest"}};
    run(
        state,
        [&] {
            return c->Post("/m/mvehxh/getDiscardList", headers, "page=1&glbm=320900000400&hpzl=02",
                           "application/x-www-form-urlencoded; charset=UTF-8");
        },
        200);
}
BENCHMARK(simPost)->Unit(benchmark::kMicrosecond)->UseRealTime();

}  // namespace
