#include "base/background_task.h"

#include <cstdio>
#include <exception>

namespace yhz {

BackgroundTaskOwner::~BackgroundTaskOwner() {
    const ShutdownReport report = shutdown();
    if (report.clean()) {
        return;
    }
    // Every blocking point of a task honours its stop token, so this wait
    // ends; the objects the tasks work on are still alive while it lasts.
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return allEndedLocked(); });
    joinEndedLocked(lock, nullptr);
}

bool BackgroundTaskOwner::start(std::string name, TaskWork work, TaskTexts texts) {
    if (texts.size() > kMaxTexts || !work) {
        return false;
    }
    std::unique_lock lock(mutex_);
    if (closing_) {
        return false;
    }
    joinEndedLocked(lock, nullptr);
    auto task = std::make_shared<Task>();
    task->name = std::move(name);
    task->thread = std::thread([this, task, work = std::move(work), texts = std::move(texts)] {
        try {
            work(task->stop.get_token(), texts);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "background task %s failed: %s\n", task->name.c_str(), e.what());
        } catch (...) {
            std::fprintf(stderr, "background task %s failed\n", task->name.c_str());
        }
        const std::lock_guard done(mutex_);
        task->ended = true;
        changed_.notify_all();
    });
    tasks_.push_back(std::move(task));
    return true;
}

bool BackgroundTaskOwner::start(std::string name, std::function<void(std::stop_token)> work) {
    if (!work) {
        return false;
    }
    return start(std::move(name),
                 [work = std::move(work)](std::stop_token stop, const TaskTexts&) { work(stop); });
}

int BackgroundTaskOwner::running() const {
    const std::lock_guard lock(mutex_);
    int count = 0;
    for (const auto& task : tasks_) {
        count += task->ended ? 0 : 1;
    }
    return count;
}

bool BackgroundTaskOwner::waitIdle(std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [this] { return allEndedLocked(); });
}

bool BackgroundTaskOwner::allEndedLocked() const {
    for (const auto& task : tasks_) {
        if (!task->ended) {
            return false;
        }
    }
    return true;
}

void BackgroundTaskOwner::joinEndedLocked(std::unique_lock<std::mutex>& lock, int* joined) {
    std::vector<std::shared_ptr<Task>> ended;
    for (auto it = tasks_.begin(); it != tasks_.end();) {
        if ((*it)->ended) {
            ended.push_back(std::move(*it));
            it = tasks_.erase(it);
        } else {
            ++it;
        }
    }
    // A thread that has said it ended only has its return left, so these
    // joins are short; they run unlocked all the same.
    lock.unlock();
    for (const auto& task : ended) {
        task->thread.join();
    }
    lock.lock();
    if (joined != nullptr) {
        *joined += static_cast<int>(ended.size());
    }
}

ShutdownReport BackgroundTaskOwner::shutdown(std::chrono::milliseconds bound) {
    const auto deadline = std::chrono::steady_clock::now() + bound;
    ShutdownReport report;
    std::unique_lock lock(mutex_);
    closing_ = true;
    for (const auto& task : tasks_) {
        task->stop.request_stop();
    }
    changed_.wait_until(lock, deadline, [this] { return allEndedLocked(); });
    joinEndedLocked(lock, &report.joined);
    for (const auto& task : tasks_) {
        report.abandoned.push_back(task->name);
    }
    return report;
}

}  // namespace yhz
