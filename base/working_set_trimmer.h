#pragma once
// The periodic working-set trim: one long-lived thread that trims whenever
// the window's timer asks, so a tick never waits for the trim and no tick
// starts a thread of its own.

#include <condition_variable>
#include <functional>
#include <mutex>
#include <stop_token>

namespace yhz {

class WorkingSetTrimmer {
public:
    explicit WorkingSetTrimmer(std::function<void()> trim);

    // Asks for one trim; returns at once. Requests made while a trim runs
    // fold into one.
    void request();

    // The thread's loop: trims once per request until `stop` is asked for.
    void run(std::stop_token stop);

    int trimsDone() const;

private:
    std::function<void()> trim_;
    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    bool due_ = false;
    int done_ = 0;
};

}  // namespace yhz
