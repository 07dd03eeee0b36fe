#include "net/connection_pool.h"

#include <algorithm>

namespace yhz {

namespace {
// Origins a lane remembers; a lane seldom talks to more than two.
constexpr std::size_t kOriginsPerLane = 4;
}  // namespace

struct ConnectionPool::Lane {
    CURLM* multi = curl_multi_init();
    // The origins of its latest calls, the latest last.
    std::vector<std::string> origins;

    Lane() = default;
    Lane(const Lane&) = delete;
    Lane& operator=(const Lane&) = delete;
    ~Lane() {
        if (multi != nullptr) {
            curl_multi_cleanup(multi);
        }
    }
    void noteOrigin(const std::string& origin) {
        std::erase(origins, origin);
        origins.push_back(origin);
        if (origins.size() > kOriginsPerLane) {
            origins.erase(origins.begin());
        }
    }
};

ConnectionPool::Loan::Loan(ConnectionPool& pool, std::unique_ptr<Lane> lane)
    : pool_(pool), lane_(std::move(lane)) {}

ConnectionPool::Loan::~Loan() {
    pool_.giveBack(std::move(lane_));
}

CURLM* ConnectionPool::Loan::multi() const {
    return lane_->multi;
}

ConnectionPool::ConnectionPool() : sessions_({CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_DNS}) {}

ConnectionPool::~ConnectionPool() = default;

ConnectionPool::Loan ConnectionPool::borrow(const std::string& origin) {
    std::unique_ptr<Lane> lane;
    {
        const std::scoped_lock lock(mutex_);
        // The most recently used lane that knows the origin: the likeliest
        // to still hold a live connection there.
        for (auto it = idle_.rbegin(); it != idle_.rend(); ++it) {
            if (std::find((*it)->origins.begin(), (*it)->origins.end(), origin) !=
                (*it)->origins.end()) {
                lane = std::move(*it);
                idle_.erase(std::next(it).base());
                break;
            }
        }
    }
    if (!lane) {
        lane = std::make_unique<Lane>();
    }
    lane->noteOrigin(origin);
    return Loan(*this, std::move(lane));
}

void ConnectionPool::giveBack(std::unique_ptr<Lane> lane) {
    if (!lane || lane->multi == nullptr) {
        return;
    }
    // Declared before the lock, so a lane pushed out closes after it is let go.
    std::unique_ptr<Lane> dropped;
    const std::scoped_lock lock(mutex_);
    idle_.push_back(std::move(lane));
    if (idle_.size() > kMaxIdleLanes) {
        dropped = std::move(idle_.front());
        idle_.erase(idle_.begin());
    }
}

}  // namespace yhz
