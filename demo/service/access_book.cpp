#include "demo/service/access_book.h"

#include <algorithm>

#include "demo/http/http_support.h"

namespace yhz::service {

AccessBook::AccessBook(AccessLimits limits, std::function<Clock::time_point()> now)
    : limits_(limits), now_(std::move(now)) {}

void AccessBook::forget(const std::string& token) {
    auto it = tokens_.find(token);
    if (it == tokens_.end())
        return;
    auto user = byUser_.find(it->second.user);
    if (user != byUser_.end()) {
        auto& list = user->second;
        list.erase(std::remove(list.begin(), list.end(), token), list.end());
        if (list.empty())
            byUser_.erase(user);
    }
    tokens_.erase(it);
}

void AccessBook::purge(Clock::time_point now) {
    while (!order_.empty()) {
        auto& [expires, token] = order_.front();
        if (tokens_.count(token) != 0 && expires > now)
            break;
        forget(token);
        order_.pop_front();
    }
    // Tokens used up out of order linger in order_; keep it near the live count.
    if (order_.size() > 2 * tokens_.size() + 64) {
        std::deque<std::pair<Clock::time_point, std::string>> live;
        for (auto& entry : order_) {
            if (tokens_.count(entry.second) != 0)
                live.push_back(std::move(entry));
        }
        order_.swap(live);
    }
}

std::optional<std::string> AccessBook::issue(const std::string& user) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    purge(now);
    auto& mine = byUser_[user];
    while (!mine.empty() && mine.size() >= limits_.maxTokensPerUser) {
        std::string oldest = mine.front();
        tokens_.erase(oldest);
        mine.pop_front();
    }
    if (tokens_.size() >= limits_.maxTokens) {
        if (mine.empty())
            byUser_.erase(user);
        return std::nullopt;
    }
    std::string token;
    do {
        token = web::randomHex(false);
    } while (tokens_.count(token) != 0);
    const Clock::time_point expires = now + limits_.tokenLifetime;
    tokens_.emplace(token, Token{user, expires});
    order_.emplace_back(expires, token);
    mine.push_back(token);
    return token;
}

AccessBook::Begin AccessBook::begin(const std::string& user, const std::string& token) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    purge(now);
    auto it = tokens_.find(token);
    if (it == tokens_.end() || it->second.user != user || it->second.expires <= now) {
        return Begin::BadToken;
    }
    int& running = inFlight_[user];
    if (running >= limits_.maxInFlightPerUser)
        return Begin::Busy;
    ++running;
    forget(token);
    return Begin::Started;
}

void AccessBook::end(const std::string& user) {
    std::lock_guard lock(mutex_);
    auto it = inFlight_.find(user);
    if (it == inFlight_.end())
        return;
    if (--it->second <= 0)
        inFlight_.erase(it);
}

std::size_t AccessBook::liveTokens() {
    std::lock_guard lock(mutex_);
    purge(now_());
    return tokens_.size();
}

std::size_t AccessBook::usersInFlight() {
    std::lock_guard lock(mutex_);
    return inFlight_.size();
}

}  // namespace yhz::service
