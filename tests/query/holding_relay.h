#pragma once
// What the query tests share: waiting for a condition, and a relay on a
// loopback port that holds its answers until released.

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/loopback.h"

namespace yhz::test {

using namespace std::chrono_literals;

template <typename Condition>
bool eventually(Condition done, std::chrono::milliseconds bound = 10s) {
    const auto until = std::chrono::steady_clock::now() + bound;
    while (!done()) {
        if (std::chrono::steady_clock::now() > until) {
            return false;
        }
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// A relay that answers every request with `answer`, holding each until
// released while `hold` is set, and counting what it saw.
class HoldingRelay {
public:
    explicit HoldingRelay(std::string answer, int status = 200)
        : answer_(std::move(answer)), status_(status) {
        auto server = std::make_unique<httplib::Server>();
        // Idle kept connections end at once: the server's stop would wait
        // out its keep-alive time for the runs' pooled connections.
        server->set_keep_alive_timeout(0);
        server->Post("/relay", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock lock(mutex_);
            bodies_.push_back(req.body);
            headers_.push_back(req.headers);
            ++inFlight_;
            mostInFlight_ = std::max(mostInFlight_, inFlight_);
            changed_.notify_all();
            changed_.wait(lock, [this] { return !hold_; });
            --inFlight_;
            res.status = status_;
            res.set_content(answer_, "text/plain; charset=GBK");
        });
        running_ = std::make_unique<RunningServer>(std::move(server));
    }
    ~HoldingRelay() { release(); }

    std::string address() const {
        return "http://127.0.0.1:" + std::to_string(running_->port()) + "/relay";
    }
    void hold() {
        const std::scoped_lock lock(mutex_);
        hold_ = true;
    }
    void release() {
        const std::scoped_lock lock(mutex_);
        hold_ = false;
        changed_.notify_all();
    }
    bool waitInFlight(int count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 10s, [&] { return inFlight_ == count; });
    }
    int received() const {
        const std::scoped_lock lock(mutex_);
        return static_cast<int>(bodies_.size());
    }
    int mostInFlight() const {
        const std::scoped_lock lock(mutex_);
        return mostInFlight_;
    }
    std::string body(int i) const {
        const std::scoped_lock lock(mutex_);
        return bodies_.at(static_cast<size_t>(i));
    }
    httplib::Headers headers(int i) const {
        const std::scoped_lock lock(mutex_);
        return headers_.at(static_cast<size_t>(i));
    }

private:
    std::string answer_;
    int status_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    bool hold_ = false;
    int inFlight_ = 0;
    int mostInFlight_ = 0;
    std::vector<std::string> bodies_;
    std::vector<httplib::Headers> headers_;
    std::unique_ptr<RunningServer> running_;
};

}  // namespace yhz::test
