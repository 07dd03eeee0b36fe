#pragma once
// The owner of every background thread of the program. A task runs one
// operation on a thread of its own with up to six texts it owns as copies;
// the starter does not wait. The owner keeps a handle to every thread it
// started and hands each a stop token; at the end of the run it asks every
// task to stop and joins it within a bound, so that no thread outlives the
// objects it works on unseen.

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace yhz {

// The texts a task is started with; the task owns them.
using TaskTexts = std::vector<std::string>;
using TaskWork = std::function<void(std::stop_token stop, const TaskTexts& texts)>;

struct ShutdownReport {
    int joined = 0;
    // Names of the tasks that had not ended when the bound ran out. Their
    // threads are still owned, and still running.
    std::vector<std::string> abandoned;
    bool clean() const { return abandoned.empty(); }
};

class BackgroundTaskOwner {
public:
    static constexpr std::size_t kMaxTexts = 6;
    static constexpr std::chrono::milliseconds kDefaultShutdownBound{2000};

    BackgroundTaskOwner() = default;
    BackgroundTaskOwner(const BackgroundTaskOwner&) = delete;
    BackgroundTaskOwner& operator=(const BackgroundTaskOwner&) = delete;
    // Stops and joins whatever still runs, waiting as long as that takes:
    // shutdown() with a bound comes first wherever waiting is not an option.
    ~BackgroundTaskOwner();

    // Starts `work` on a new thread. False, without starting anything, after
    // shutdown() has begun or with more than kMaxTexts texts. `name` says in
    // reports which task it was.
    bool start(std::string name, TaskWork work, TaskTexts texts = {});

    // Convenience for work that needs no texts.
    bool start(std::string name, std::function<void(std::stop_token)> work);

    // Tasks started and not yet ended.
    int running() const;

    // Waits until every task has ended or `timeout` has passed; true when
    // none runs. For tests and for callers that must see work finish.
    bool waitIdle(std::chrono::milliseconds timeout) const;

    // Refuses new tasks, asks every running task to stop, joins each one that
    // ends within `bound` and reports the rest. Safe to call more than once.
    ShutdownReport shutdown(std::chrono::milliseconds bound = kDefaultShutdownBound);

private:
    struct Task {
        std::string name;
        std::stop_source stop;
        std::thread thread;
        bool ended = false;  // under mutex_
    };

    bool allEndedLocked() const;
    void joinEndedLocked(std::unique_lock<std::mutex>& lock, int* joined);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::list<std::shared_ptr<Task>> tasks_;
    bool closing_ = false;
};

}  // namespace yhz
