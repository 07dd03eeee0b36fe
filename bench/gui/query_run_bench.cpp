// Query runs through the real window's start button against a relay on
// loopback that hands out tokens and answers every plate.
//
//  1. 200 plates, each answer after 50 ms: with two requests in flight the
//     ideal is 5 s; the wall time is reported as a ratio to it, and the most
//     requests the relay saw in flight at once.
//  2. 10,000 plates answered at once: plates per second, CPU time per plate,
//     and the GUI thread's longest stall while the rows change colour.
//  3. A watch check of 100 plates, each answer after 20 ms, with the watch
//     list's window open and half the plates turning available (so one
//     notification): the GUI thread's longest stall and the most requests in
//     flight, alone and when asked for during a run of 200 plates.

#include <httplib.h>
#include <sys/resource.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/watch_actions.h"
#include "base/control_names.h"
#include "headless_qt.h"
#include "query/plate_watch.h"
#include "query_bench.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

// The plate's last digit decides: odd ones are available.
bool lastDigitOdd(const std::string& body) {
    return (static_cast<unsigned char>(body[body.find('&') - 1]) & 1) != 0;
}

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

// The event loop's latency: a 5 ms timer on the GUI thread; the longest
// gap between its ticks is the GUI thread's longest stall.
class StallProbe {
public:
    StallProbe() {
        clock_.start();
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longest_ = std::max(longest_, now - last_);
            last_ = now;
        });
        last_ = clock_.elapsed();
        timer_.start();
    }
    qint64 longestMs() const { return longest_; }

private:
    QElapsedTimer clock_;
    QTimer timer_;
    qint64 last_ = 0;
    qint64 longest_ = 0;
};

void settle() {
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 300) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

RunFigures runQuery(MainWindow& w, int plates) {
    bench::fillPlateList(w, plates);
    QPushButton* start = bench::startButton(w);
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    StallProbe probe;
    bench::clickAndWait(start, wall, 600000, 5);
    RunFigures figures;
    figures.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    figures.cpuS = cpuSeconds() - cpuBefore;
    // The last colours reach the view on the model's next sync.
    settle();
    figures.longestStallMs = probe.longestMs();
    return figures;
}

// One check of `plates` watched plates with the watch list's window open;
// with `duringRun`, asked for just after a run of 200 plates has started.
RunFigures watchCheck(MainWindow& w, int plates, bool duringRun) {
    PlateWatch& watch = w.watch();
    watch.store()->checkAll();
    watch.removeChecked();
    watch.add(bench::plateRows('C', plates));
    w.watchActions().openList();
    QPushButton* start = bench::startButton(w);
    if (duringRun) {
        bench::fillPlateList(w, 200);
    }
    settle();

    QElapsedTimer wall;
    wall.start();
    StallProbe probe;
    const int before = watch.status().checksDone;
    if (duringRun) {
        MessageBox::setNextAnswer(MessageAnswer::Ok);
        start->click();
    }
    watch.checkNow();
    while (watch.status().checksDone == before && wall.elapsed() < 600000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    RunFigures figures;
    figures.wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    // The answers and the notification reach the window.
    settle();
    figures.longestStallMs = probe.longestMs();
    return figures;
}

}  // namespace

int main(int argc, char* argv[]) {
    bench::prepareHeadlessQt();
    QApplication app(argc, argv);

    bench::BenchRelay relay(std::make_unique<httplib::Server>(), lastDigitOdd);
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

    // The watch list of this bench only: out of the way before and after.
    std::filesystem::remove(MainWindow::watchFile());
    relay.setDelay(std::chrono::milliseconds(20));
    for (const bool duringRun : {false, true}) {
        relay.resetMostInFlight();
        const RunFigures check = watchCheck(w, 100, duringRun);
        std::printf("a watch check of 100 plates, relay answers after 20 ms%s\n",
                    duringRun ? ", asked for during a run of 200 plates" : "");
        std::printf("  wall time                      %8.0f ms   (ideal %.0f ms)\n", check.wallMs,
                    (duringRun ? 300 : 100) * 20.0 / 2.0);
        std::printf("  longest GUI-thread stall       %8lld ms   (goal <= 50 ms)\n",
                    static_cast<long long>(check.longestStallMs));
        std::printf("  most requests in flight        %8d      (must be 2)\n",
                    relay.mostInFlight());
    }
    std::filesystem::remove(MainWindow::watchFile());
    return 0;
}
