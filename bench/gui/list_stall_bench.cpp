// A worker appends a million rows to the plate list while the window is
// shown. A 5 ms timer on the GUI thread records the event loop's latency;
// the longest gap between its ticks is the GUI thread's longest stall. Then
// the menu operations run through the real menu on those rows.

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QMenu>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "app/list_models.h"
#include "app/main_window.h"
#include "app/qt_common/qt_text.h"
#include "base/control_names.h"
#include "headless_qt.h"
#include "plates/list_operations.h"
#include "text/encoding.h"

using namespace yhz;

namespace {

constexpr int kRows = 1'000'000;
constexpr int kProbeMs = 5;

long residentKb(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::stol(line.substr(std::string(field).size()));
        }
    }
    return -1;
}

struct Probe {
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    void tick() {
        const qint64 now = clock.elapsed();
        longest = std::max(longest, now - last);
        last = now;
    }
    void restart() {
        last = clock.elapsed();
        longest = 0;
    }
};

void wait(int ms) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

double timeAction(MainWindow& w, const char* item) {
    QElapsedTimer t;
    t.start();
    w.plateMenu()->findChild<QAction*>(QString::fromUtf8(item))->trigger();
    QApplication::processEvents();  // the view's own handling of the change
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

}  // namespace

int main(int argc, char* argv[]) {
    bench::prepareHeadlessQt();
    QApplication app(argc, argv);

    MainWindow w;
    w.show();
    w.findChild<QTabWidget*>()->setCurrentIndex(2);
    wait(500);
    auto* view = w.findChild<QTableView*>(fromName(control::kPlateList));
    const long baseKb = residentKb("VmRSS:");

    Probe probe;
    probe.clock.start();
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(kProbeMs);
    QObject::connect(&timer, &QTimer::timeout, [&] { probe.tick(); });
    timer.start();

    std::shared_ptr<PlateStore> store = w.lists().plates;
    const std::string province = gbk("粤");
    QElapsedTimer run;
    run.start();
    qint64 workerDoneMs = -1;
    std::thread worker([&] {
        for (int k = 0; k < kRows; ++k) {
            char plate[16];
            std::snprintf(plate, sizeof plate, "B%05d", k % 100000);
            store->appendNumbered(province + plate, "2024-06-01 00:00:00", 1);
        }
        workerDoneMs = run.elapsed();
    });
    probe.restart();
    while (view->model()->rowCount() < kRows && run.elapsed() < 60000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    const qint64 visibleMs = run.elapsed();
    view->scrollToBottom();
    wait(300);
    const qint64 appendStall = probe.longest;
    worker.join();
    const long rowsKb = residentKb("VmRSS:");

    std::printf("append %d rows from a worker with the window shown\n", kRows);
    std::printf("  worker finished appending      %6lld ms\n",
                static_cast<long long>(workerDoneMs));
    std::printf("  all rows visible in the view   %6lld ms   (goal < 2000 ms)\n",
                static_cast<long long>(visibleMs));
    std::printf("  longest GUI-thread stall       %6lld ms   (goal < 50 ms, probe %d ms)\n",
                static_cast<long long>(appendStall), kProbeMs);
    std::printf("  resident memory                %6ld MB   (goal < 300 MB; %ld MB before)\n",
                rowsKb / 1024, baseKb / 1024);

    timer.stop();
    std::printf("menu operations on %d rows, through the menu, view updated\n", kRows);
    std::printf("  全选                           %8.1f ms   (goal < 300 ms)\n",
                timeAction(w, "全选"));
    std::printf("  反选                           %8.1f ms   (goal < 300 ms)\n",
                timeAction(w, "反选"));
    store->update([](PlateStore::Rows& rows) {
        for (size_t k = 0; k < rows.size(); ++k) {
            rows[k].checked = k % 2 == 1;
        }
    });
    qobject_cast<StoreModel*>(view->model())->sync();
    std::printf("  删除选中 (every second row)    %8.1f ms   (goal < 1000 ms)\n",
                timeAction(w, "删除选中"));
    // Back to a million rows, each plate twice.
    {
        std::vector<PlateRow> again(static_cast<size_t>(kRows - store->rowCount()));
        for (size_t k = 0; k < again.size(); ++k) {
            again[k].plate = store->cellText(static_cast<int>(k), PlateRow::kPlate);
            again[k].date = "2024-06-01 00:00:00";
        }
        store->appendAllNumbered(std::move(again), 1);
    }
    qobject_cast<StoreModel*>(view->model())->sync();
    const double dedupMs = timeAction(w, "去除重复");
    std::printf("  去除重复 (%d rows)        %8.1f ms   (goal < 1000 ms), %d rows left\n", kRows,
                dedupMs, store->rowCount());
    std::printf("  全部删除                       %8.1f ms\n", timeAction(w, "全部删除"));
    std::printf("  peak resident memory           %6ld MB\n", residentKb("VmHWM:") / 1024);
    return 0;
}
