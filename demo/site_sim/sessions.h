#pragma once
// The simulator's sessions (the JSESSIONID cookie), per site. A session
// starts on probation; the first time its cookie comes back it joins the
// established ones. Each group is a list in order of use, so a lookup, a
// new session and pushing out the least recently used one take constant
// time; and page loads whose cookie never comes back (a flood of them)
// push out only each other, never a session that is in use.

#include <chrono>
#include <cstddef>
#include <functional>
#include <list>
#include <mutex>
#include <string>
#include <unordered_map>

namespace yhz::sim {

class Sessions {
public:
    using Clock = std::chrono::steady_clock;
    // At most `max` sessions, a quarter of them on probation; a session
    // unused for `idle` has ended.
    Sessions(std::size_t max, std::chrono::minutes idle,
             std::function<Clock::time_point()> now = Clock::now);

    // Whether `id` is a live session of that site; marks it used.
    bool valid(const std::string& id, const std::string& site);
    // A new session of that site, its id 32 upper-case hex digits.
    std::string create(const std::string& site);

    std::size_t size();

private:
    struct Session {
        std::string id;
        std::string site;
        Clock::time_point lastUse;
        bool established = false;
    };
    using List = std::list<Session>;

    void dropEnded(List& list, Clock::time_point now);
    void dropOldest(List& list);

    std::size_t probationMax_;
    std::size_t establishedMax_;
    std::chrono::minutes idle_;
    std::function<Clock::time_point()> now_;
    std::mutex mutex_;
    // Most recently used first.
    List probation_;
    List established_;
    std::unordered_map<std::string, List::iterator> byId_;
};

}  // namespace yhz::sim
