#include "demo/http/rate_limit.h"

#include <arpa/inet.h>

#include <algorithm>
#include <array>
#include <cstdio>

namespace yhz::web {

namespace {

// Every 127.x.y.z is this host: any local process may bind any of them, so
// counting them apart would hand one program sixteen million buckets.
std::string ipv4Key(std::string text) {
    in_addr v4{};
    if (inet_pton(AF_INET, text.c_str(), &v4) == 1 && (ntohl(v4.s_addr) >> 24) == 127)
        return "127.0.0.0/8";
    return text;
}

}  // namespace

std::string rateKey(std::string_view address) {
    const std::string text(address);
    std::array<unsigned char, 16> bytes{};
    if (text.find(':') == std::string::npos || inet_pton(AF_INET6, text.c_str(), bytes.data()) != 1)
        return ipv4Key(text);
    static constexpr std::array<unsigned char, 12> kMappedPrefix = {0, 0, 0, 0, 0,    0,
                                                                    0, 0, 0, 0, 0xff, 0xff};
    if (std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), bytes.begin())) {
        char v4[INET_ADDRSTRLEN] = "";
        inet_ntop(AF_INET, bytes.data() + 12, v4, sizeof v4);
        return ipv4Key(v4);
    }
    char key[40];
    std::snprintf(key, sizeof key, "%02x%02x:%02x%02x:%02x%02x:%02x%02x::/64", bytes[0], bytes[1],
                  bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
    return key;
}

AddressRate::AddressRate(RateRule rule, std::size_t maxAddresses,
                         std::function<Clock::time_point()> now)
    : rule_(rule), maxAddresses_(std::max<std::size_t>(maxAddresses, 1)), now_(std::move(now)) {}

void AddressRate::refill(Bucket& bucket, Clock::time_point now) const {
    const std::chrono::duration<double> elapsed = now - bucket.updated;
    if (elapsed.count() > 0) {
        bucket.level = std::min(rule_.burst, bucket.level + elapsed.count() * rule_.perSecond);
        bucket.updated = now;
    }
}

void AddressRate::makeRoom(Clock::time_point now) {
    for (auto it = buckets_.begin(); it != buckets_.end();) {
        refill(it->second, now);
        it = it->second.level >= rule_.burst ? buckets_.erase(it) : std::next(it);
    }
    if (buckets_.size() < maxAddresses_)
        return;
    auto stalest = std::min_element(buckets_.begin(), buckets_.end(), [](auto& a, auto& b) {
        return a.second.updated < b.second.updated;
    });
    buckets_.erase(stalest);
}

bool AddressRate::take(std::string_view address) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    const std::string key = rateKey(address);
    auto it = buckets_.find(key);
    if (it == buckets_.end()) {
        if (buckets_.size() >= maxAddresses_)
            makeRoom(now);
        it = buckets_.emplace(key, Bucket{rule_.burst, now}).first;
    }
    Bucket& bucket = it->second;
    refill(bucket, now);
    if (bucket.level < 1)
        return false;
    bucket.level -= 1;
    return true;
}

void AddressRate::giveBack(std::string_view address) {
    std::lock_guard lock(mutex_);
    auto it = buckets_.find(rateKey(address));
    if (it == buckets_.end())
        return;
    refill(it->second, now_());
    it->second.level = std::min(rule_.burst, it->second.level + 1);
}

std::size_t AddressRate::addresses() {
    std::lock_guard lock(mutex_);
    return buckets_.size();
}

}  // namespace yhz::web
