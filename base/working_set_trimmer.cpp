#include "base/working_set_trimmer.h"

#include <utility>

namespace yhz {

WorkingSetTrimmer::WorkingSetTrimmer(std::function<void()> trim) : trim_(std::move(trim)) {}

void WorkingSetTrimmer::request() {
    {
        const std::lock_guard lock(mutex_);
        due_ = true;
    }
    wake_.notify_one();
}

void WorkingSetTrimmer::run(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (wake_.wait(lock, stop, [this] { return due_; })) {
        due_ = false;
        lock.unlock();
        trim_();
        lock.lock();
        ++done_;
    }
}

int WorkingSetTrimmer::trimsDone() const {
    const std::lock_guard lock(mutex_);
    return done_;
}

}  // namespace yhz
