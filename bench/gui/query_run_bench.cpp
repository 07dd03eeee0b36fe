// Query runs through the real window's start button against a relay on
// loopback that hands out tokens and answers every plate.
//
//  1. 200 plates, each answer after 50 ms: with two requests in flight the
//     ideal is 5 s; the wall time is reported as a ratio to it, and the most
//     requests the relay saw in flight at once.
//  2. 10,000 plates answered at once: plates per second, CPU time per plate,
//     and the GUI thread's longest stall while the rows change colour.

#include <httplib.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/qt_text.h"
#include "base/control_names.h"
#include "headless_qt.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

class BenchRelay {
public:
    BenchRelay() {
        // As a real server on kept connections: replies go out whole (not
        // held by Nagle for a delayed acknowledgement) and the connections
        // stay open.
        server_.set_tcp_nodelay(true);
        server_.set_keep_alive_max_count(1'000'000);
        server_.Post("/api/token", [](const httplib::Request&, httplib::Response& res) {
            res.set_content(std::string(32, 'a'), "text/plain");
        });
        server_.Post("/relay", [this](const httplib::Request& req, httplib::Response& res) {
            const int now = ++inFlight_;
            int seen = most_.load();
            while (now > seen && !most_.compare_exchange_weak(seen, now)) {
            }
            if (delay_.count() > 0) {
                std::this_thread::sleep_for(delay_);
            }
            --inFlight_;
            const bool odd =
                (static_cast<unsigned char>(req.body[req.body.find('&') - 1]) & 1) != 0;
            res.set_content(odd ? std::string("ok") : gbk("已占用"), "text/plain");
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    }
    ~BenchRelay() {
        server_.stop();
        thread_.join();
    }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port_); }
    void setDelay(std::chrono::milliseconds delay) { delay_ = delay; }
    int mostInFlight() const { return most_; }

private:
    httplib::Server server_;
    std::thread thread_;
    int port_ = 0;
    std::chrono::milliseconds delay_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> most_{0};
};

double cpuSeconds() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return static_cast<double>(use.ru_utime.tv_sec + use.ru_stime.tv_sec) +
           static_cast<double>(use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1e6;
}

struct RunFigures {
    double wallMs = 0;
    double cpuS = 0;
    qint64 longestStallMs = 0;
};

RunFigures runQuery(MainWindow& w, int plates) {
    PlateStore& store = *w.lists().plates;
    store.clear();
    std::vector<PlateRow> rows(static_cast<size_t>(plates));
    const std::string province = gbk("粤");
    for (int k = 0; k < plates; ++k) {
        char plate[16];
        std::snprintf(plate, sizeof plate, "B%05d", k);
        rows[static_cast<size_t>(k)].plate = province + plate;
    }
    store.appendAllNumbered(std::move(rows), 1);
    QApplication::processEvents();

    auto* start = w.findChild<QPushButton*>(fromName(control::kStartQueryButton));
    QElapsedTimer probeClock;
    probeClock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer probe;
    probe.setTimerType(Qt::PreciseTimer);
    probe.setInterval(5);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    });

    MessageBox::setNextAnswer(MessageAnswer::Ok);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    last = probeClock.elapsed();
    probe.start();
    start->click();
    while (!start->isEnabled() && wall.elapsed() < 600000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    RunFigures figures;
    figures.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    figures.cpuS = cpuSeconds() - cpuBefore;
    // The last colours reach the view on the model's next sync.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    probe.stop();
    figures.longestStallMs = longest;
    return figures;
}

}  // namespace

int main(int argc, char* argv[]) {
    bench::prepareHeadlessQt();
    QApplication app(argc, argv);

    BenchRelay relay;
    MainWindow w;
    w.show();
    w.useServiceForQueries(relay.base());
    w.startupValues().setRelayAddress(relay.base() + "/relay");
    w.access().addItem(control::kRelayChoice, gbk("   线路[ 1 ]"));
    w.findChild<QTabWidget*>()->setCurrentIndex(2);

    relay.setDelay(std::chrono::milliseconds(50));
    const RunFigures slow = runQuery(w, 200);
    const double ideal = 200.0 * 50.0 / 2.0;
    std::printf("200 plates, relay answers after 50 ms\n");
    std::printf("  wall time                      %8.0f ms   (ideal %.0f ms)\n", slow.wallMs,
                ideal);
    std::printf("  ratio to the ideal             %8.3f      (goal <= 1.05)\n",
                slow.wallMs / ideal);
    std::printf("  most requests in flight        %8d      (must be 2)\n", relay.mostInFlight());

    relay.setDelay(std::chrono::milliseconds(0));
    const int plates = 10'000;
    const RunFigures fast = runQuery(w, plates);
    std::printf("%d plates, relay answers at once\n", plates);
    std::printf("  plates per second              %8.0f\n", plates / (fast.wallMs / 1000.0));
    std::printf("  CPU time per plate             %8.1f us (whole process, relay included)\n",
                fast.cpuS * 1e6 / plates);
    std::printf("  longest GUI-thread stall       %8lld ms   (goal < 50 ms)\n",
                static_cast<long long>(fast.longestStallMs));
    std::printf("  most requests in flight        %8d      (must be 2)\n", relay.mostInFlight());
    return 0;
}
