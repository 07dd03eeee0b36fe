#pragma once
// A rate per source address: each address has a bucket that holds up to
// `burst` and fills at `perSecond`; a request takes one. IPv6 addresses
// count by their /64, which one client usually holds whole, and the whole of
// 127.0.0.0/8 is one address: the local host. The table of
// addresses is bounded too: full buckets carry no state and go first.

#include <chrono>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

namespace yhz::web {

struct RateRule {
    double burst = 10;
    double perSecond = 1;
};

class AddressRate {
public:
    using Clock = std::chrono::steady_clock;
    explicit AddressRate(RateRule rule, std::size_t maxAddresses = 4096,
                         std::function<Clock::time_point()> now = Clock::now);

    // Takes one from the address's bucket; false, taking nothing, when it is
    // empty.
    bool take(std::string_view address);
    // Puts one back, up to the burst.
    void giveBack(std::string_view address);
    std::size_t addresses();

private:
    struct Bucket {
        double level = 0;
        Clock::time_point updated;
    };
    void refill(Bucket& bucket, Clock::time_point now) const;
    void makeRoom(Clock::time_point now);

    RateRule rule_;
    std::size_t maxAddresses_;
    std::function<Clock::time_point()> now_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

// The key an address is counted under: IPv4 as it is (loopback as one),
// IPv6 by its /64.
std::string rateKey(std::string_view address);

}  // namespace yhz::web
