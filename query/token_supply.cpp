#include "query/token_supply.h"

namespace yhz {

TokenSupply::TokenSupply(Fetch fetch) : fetch_(std::move(fetch)) {}

void TokenSupply::setWanted(int rows) {
    const std::scoped_lock lock(mutex_);
    wanted_ = rows < 0 ? 0 : rows;
    changed_.notify_all();
}

void TokenSupply::stop() {
    const std::scoped_lock lock(mutex_);
    halt_.request_stop();
    ready_.clear();
    changed_.notify_all();
}

bool TokenSupply::nothingMoreLocked() const {
    return halt_.stop_requested() || (wanted_ >= 0 && asked_ >= wanted_ && fetching_ == 0);
}

void TokenSupply::fetchLoop(std::stop_token threadStop) {
    const std::stop_callback ending(threadStop, [this] { stop(); });
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [this] {
                return halt_.stop_requested() || (wanted_ >= 0 && asked_ >= wanted_) ||
                       (wanted_ >= 0 && static_cast<int>(ready_.size()) + fetching_ < kAhead);
            });
            if (halt_.stop_requested() || asked_ >= wanted_) {
                changed_.notify_all();  // a taker may be waiting for "no more"
                return;
            }
            ++asked_;
            ++fetching_;
        }
        std::string token = fetch_ ? fetch_(halt_.get_token()) : std::string();
        const std::scoped_lock lock(mutex_);
        --fetching_;
        if (!halt_.stop_requested()) {
            ready_.push_back(std::move(token));
        }
        changed_.notify_all();
    }
}

std::optional<std::string> TokenSupply::take(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, stop, [this] { return !ready_.empty() || nothingMoreLocked(); });
    if (ready_.empty() || halt_.stop_requested() || stop.stop_requested()) {
        return std::nullopt;
    }
    std::string token = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();  // room for one more ahead
    return token;
}

}  // namespace yhz
