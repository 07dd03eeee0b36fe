// The query and the start-up with the service and the relay 0 to 100 ms
// away, over plain HTTP and over HTTPS: the program's own construction of
// its service (ProgramServices, as main() builds it), the real window, its
// start-up data and its start button, against a token service and a relay
// behind a latency proxy. The relay answers after 50 ms, so with two rows
// in flight the ideal for N plates is ceil(N/2) x (RTT + 50 ms).
//
// One line per case:
//   RTT <ms> <http|https> wall <ms> ideal <ms> ratio <x> connections/plate <y>
//   max-in-flight <n>
// and, at RTT 100, how long the start-up traffic took in round trips.

#include <httplib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/main_window.h"
#include "app/program_services.h"
#include "base/profile.h"
#include "base/program_version.h"
#include "headless_qt.h"
#include "net/http_client.h"
#include "query_bench.h"
#include "support/latency_proxy.h"
#include "text/encoding.h"

using namespace yhz;
using namespace std::chrono_literals;

namespace {

constexpr int kPlates = 40;
constexpr auto kRelayTime = 50ms;

// Tokens, the relay, the service information and the information texts,
// all on one origin as the demo service has them.
class FarService {
public:
    explicit FarService(bool tls)
        : relay_(
              makeServer(tls), [](const std::string& body) { return (body.size() & 1) != 0; },
              [this](httplib::Server& server) { serveTheRest(server); }) {
        relay_.setDelay(kRelayTime);
    }
    int port() const { return relay_.port(); }
    // The address the program is given: the proxy's.
    void setPublicBase(std::string base) { publicBase_ = std::move(base); }
    int mostInFlight() const { return relay_.mostInFlight(); }
    int relayed() const { return relay_.relayed(); }
    int tokens() const { return relay_.tokens(); }

private:
    static std::unique_ptr<httplib::Server> makeServer(bool tls) {
        if (!tls) {
            return std::make_unique<httplib::Server>();
        }
        const std::filesystem::path ca(std::string(profile::kCaBundle));
        return std::make_unique<httplib::SSLServer>((ca.parent_path() / "server.pem").c_str(),
                                                    (ca.parent_path() / "server.key").c_str());
    }
    // Connections kept a minute, the service information and the texts.
    void serveTheRest(httplib::Server& server) {
        server.set_keep_alive_timeout(60);
        server.Get("/api/service-info", [this](const httplib::Request&, httplib::Response& res) {
            const std::string relay = publicBase_ + "/relay";
            res.set_content(R"({"latestVersion":")" + std::string(kProgramVersion) +
                                R"(","packageName":"","packageAddress":"","announcement":"",)"
                                R"("serviceConfigJson":"{\"url1\":\")" +
                                relay + R"(\"}"})",
                            "application/json");
        });
        server.Get("/GetText.php", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("latency bench", "text/plain");
        });
        server.Get("/GetLine.php", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("2", "text/plain");
        });
    }

    std::string publicBase_;
    bench::BenchRelay relay_;
};

struct Case {
    int rtt;
    bool tls;
};

// Runs the query through the start button; the wall time in ms.
double runQuery(MainWindow& w) {
    QPushButton* start = bench::startButton(w);
    QElapsedTimer wall;
    wall.start();
    bench::clickAndWait(start, wall, 120'000, 2);
    return static_cast<double>(wall.nsecsElapsed()) / 1e6;
}

void runCase(const Case& c) {
    FarService service(c.tls);
    test::LatencyProxy proxy(service.port(), std::chrono::milliseconds(c.rtt / 2));
    const std::string base =
        std::string(c.tls ? "https" : "http") + "://127.0.0.1:" + std::to_string(proxy.port());
    service.setPublicBase(base);

    // What main() does: the service object, then the service information,
    // then the window with its start-up data.
    ProgramServices services(base);
    const std::optional<ServiceInfo> info = services.obtain();
    if (!info) {
        std::printf("RTT %d %s: the service information did not arrive\n", c.rtt,
                    c.tls ? "https" : "http");
        return;
    }
    MainWindow w(services.startup(info));
    w.show();
    w.waitForStartupData();
    const auto startupTraffic = proxy.lastReply() - proxy.firstRequest();
    w.findChild<QTabWidget*>()->setCurrentIndex(2);
    bench::fillPlateList(w, kPlates, 10000);

    const int connectionsBefore = proxy.connections();
    const int flightsBefore = proxy.flights();
    const double wallMs = runQuery(w);
    const double ideal = ((kPlates + 1) / 2) * static_cast<double>(c.rtt + kRelayTime.count());
    const double perPlate = static_cast<double>(proxy.connections() - connectionsBefore) / kPlates;
    std::printf(
        "RTT %d %s wall %.0f ideal %.0f ratio %.3f connections/plate %.3f max-in-flight %d\n",
        c.rtt, c.tls ? "https" : "http", wallMs, ideal, wallMs / ideal, perPlate,
        service.mostInFlight());
    if (!c.tls) {
        std::printf("    requests/plate %.2f (token and relay), relayed %d, tokens %d\n",
                    static_cast<double>(proxy.flights() - flightsBefore) / kPlates,
                    service.relayed(), service.tokens());
    }
    if (c.rtt == 100) {
        const double ms = std::chrono::duration<double, std::milli>(startupTraffic).count();
        std::printf("    start-up traffic %.0f ms = %.2f round trips (%s)\n", ms, ms / c.rtt,
                    c.tls ? "https" : "http");
    }
    std::fflush(stdout);
    w.shutdown();
}

}  // namespace

int main(int argc, char* argv[]) {
    bench::prepareHeadlessQt();
    QApplication app(argc, argv);
    HttpClient::setCaBundle(std::string(profile::kCaBundle));

    std::printf("%d plates, relay answers after %lld ms, ideal = ceil(N/2) x (RTT + %lld ms)\n",
                kPlates, static_cast<long long>(kRelayTime.count()),
                static_cast<long long>(kRelayTime.count()));
    // Arguments pick cases: "http", "https" and round trips in ms; none
    // runs them all.
    std::vector<bool> schemes;
    std::vector<int> rtts;
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        if (arg == "http" || arg == "https") {
            schemes.push_back(arg == "https");
        } else {
            rtts.push_back(std::atoi(arg.c_str()));
        }
    }
    if (schemes.empty()) {
        schemes = {false, true};
    }
    if (rtts.empty()) {
        rtts = {0, 20, 50, 100};
    }
    for (const bool tls : schemes) {
        for (const int rtt : rtts) {
            runCase({rtt, tls});
        }
    }
    return 0;
}
