#pragma once
// Access tokens handed out to users, and the relay requests each user has in
// flight. Both are bounded so that no client can make the service grow.

#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace yhz::service {

struct AccessLimits {
    std::chrono::seconds tokenLifetime{300};
    std::size_t maxTokens = 50000;      // live tokens of all users together
    std::size_t maxTokensPerUser = 16;  // a new one beyond this retires the user's oldest
    int maxInFlightPerUser = 2;
};

class AccessBook {
public:
    using Clock = std::chrono::steady_clock;
    explicit AccessBook(AccessLimits limits, std::function<Clock::time_point()> now = Clock::now);

    // A fresh 32-character token for the user; nullopt while the book is full.
    std::optional<std::string> issue(const std::string& user);

    enum class Begin { Started, BadToken, Busy };
    // Checks that `token` is a live token of `user` and that the user has a
    // free slot; only then is the token used up and a slot taken.
    Begin begin(const std::string& user, const std::string& token);
    // Gives back the slot of a request that began.
    void end(const std::string& user);

    std::size_t liveTokens();
    std::size_t usersInFlight();

private:
    struct Token {
        std::string user;
        Clock::time_point expires;
    };
    void purge(Clock::time_point now);
    void forget(const std::string& token);

    AccessLimits limits_;
    std::function<Clock::time_point()> now_;
    std::mutex mutex_;
    std::unordered_map<std::string, Token> tokens_;
    // Issue order, which is also expiry order; used-up tokens leave lazily.
    std::deque<std::pair<Clock::time_point, std::string>> order_;
    std::unordered_map<std::string, std::deque<std::string>> byUser_;
    std::unordered_map<std::string, int> inFlight_;
};

}  // namespace yhz::service
