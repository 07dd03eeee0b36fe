#pragma once
// The single-instance rule on a lock file in the user's runtime folder; a
// lock left behind by a crashed instance is recognised as stale.

#include <QLockFile>
#include <memory>
#include <mutex>

#include "startup/start_sequence.h"

namespace yhz {

class InstanceLock final : public InstanceGuard {
public:
    InstanceClaim claim() override;
    // Gives the claim up before the process ends without unwinding, or
    // before this run starts its successor. Callable from any thread.
    void release() override {
        const std::lock_guard lock(mutex_);
        if (lock_) {
            lock_->unlock();
        }
    }

private:
    std::mutex mutex_;
    std::unique_ptr<QLockFile> lock_;  // held until the process ends
};

}  // namespace yhz
