#pragma once
// What the window's query benchmarks share: tokens and a relay on loopback
// that answer every plate after a set time and note the most requests they
// saw in flight at once, plate rows made up by number, and a click of the
// start button followed until the run has ended.

#include <httplib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/main_window.h"
#include "app/message_box.h"
#include "app/qt_common/qt_text.h"
#include "base/control_names.h"
#include "plates/plate_store.h"
#include "support/loopback.h"
#include "text/encoding.h"

namespace yhz::bench {

class BenchRelay {
public:
    // Whether the relay finds the plate of a request body available.
    using Rule = std::function<bool(const std::string& body)>;
    // Sets up what a benchmark needs besides tokens and the relay.
    using Extra = std::function<void(httplib::Server&)>;

    // `server`: plain or over TLS, not yet started.
    BenchRelay(std::unique_ptr<httplib::Server> server, Rule available, const Extra& more = {})
        : running_(serve(std::move(server), std::move(available), more)) {}

    int port() const { return running_.port(); }
    std::string base() const { return "http://127.0.0.1:" + std::to_string(port()); }
    void setDelay(std::chrono::milliseconds delay) { delayMs_ = delay.count(); }
    int mostInFlight() const { return most_; }
    void resetMostInFlight() { most_ = 0; }
    int relayed() const { return relayed_; }
    int tokens() const { return tokens_; }

private:
    std::unique_ptr<httplib::Server> serve(std::unique_ptr<httplib::Server> server, Rule available,
                                           const Extra& more) {
        // As a real server on kept connections: replies go out whole (not
        // held by Nagle for a delayed acknowledgement) and the connections
        // stay open.
        server->set_tcp_nodelay(true);
        server->set_keep_alive_max_count(1'000'000);
        server->Post("/api/token", [this](const httplib::Request&, httplib::Response& res) {
            ++tokens_;
            res.set_content(std::string(32, 'a'), "text/plain");
        });
        server->Post("/relay", [this, available = std::move(available)](const httplib::Request& req,
                                                                        httplib::Response& res) {
            const int now = ++inFlight_;
            int seen = most_.load();
            while (now > seen && !most_.compare_exchange_weak(seen, now)) {
            }
            if (const long long delay = delayMs_; delay > 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            }
            --inFlight_;
            ++relayed_;
            res.set_content(available(req.body) ? std::string("ok") : gbk("已占用"), "text/plain");
        });
        if (more) {
            more(*server);
        }
        return server;
    }

    std::atomic<long long> delayMs_{0};
    std::atomic<int> inFlight_{0};
    std::atomic<int> most_{0};
    std::atomic<int> relayed_{0};
    std::atomic<int> tokens_{0};
    test::RunningServer running_;  // last: it serves from the moment it is made
};

// `count` rows 粤<letter>NNNNN numbered from `first`.
inline std::vector<PlateRow> plateRows(char letter, int count, int first = 0) {
    std::vector<PlateRow> rows(static_cast<size_t>(count));
    const std::string province = gbk("粤");
    for (int k = 0; k < count; ++k) {
        char plate[16];
        std::snprintf(plate, sizeof plate, "%c%05d", letter, first + k);
        rows[static_cast<size_t>(k)].plate = province + plate;
    }
    return rows;
}

// The plate list holds `count` plates from 粤B`first` on, and the window has
// taken them in.
inline void fillPlateList(MainWindow& w, int count, int first = 0) {
    PlateStore& store = *w.lists().plates;
    store.clear();
    store.appendAllNumbered(plateRows('B', count, first), 1);
    QApplication::processEvents();
}

inline QPushButton* startButton(MainWindow& w) {
    return w.findChild<QPushButton*>(fromName(control::kStartQueryButton));
}

// Clicks "开始查询" with the end-of-run message answered ahead, then runs the
// event loop (`sliceMs` at a time) until the button is back or `limitMs` has
// passed on `wall`.
inline void clickAndWait(QPushButton* start, const QElapsedTimer& wall, qint64 limitMs,
                         int sliceMs) {
    MessageBox::setNextAnswer(MessageAnswer::Ok);
    start->click();
    while (!start->isEnabled() && wall.elapsed() < limitMs) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, sliceMs);
    }
}

}  // namespace yhz::bench
