#include "demo/site_sim/sessions.h"

#include <algorithm>

#include "demo/http/http_support.h"

namespace yhz::sim {

Sessions::Sessions(std::size_t max, std::chrono::minutes idle,
                   std::function<Clock::time_point()> now)
    : probationMax_(std::max<std::size_t>(max / 4, 1)),
      establishedMax_(std::max<std::size_t>(max - std::min(max, max / 4), 1)),
      idle_(idle),
      now_(std::move(now)) {}

void Sessions::dropOldest(List& list) {
    byId_.erase(list.back().id);
    list.pop_back();
}

void Sessions::dropEnded(List& list, Clock::time_point now) {
    while (!list.empty() && now - list.back().lastUse > idle_)
        dropOldest(list);
}

bool Sessions::valid(const std::string& id, const std::string& site) {
    std::lock_guard lock(mutex_);
    auto found = byId_.find(id);
    if (found == byId_.end())
        return false;
    const List::iterator session = found->second;
    List& home = session->established ? established_ : probation_;
    const Clock::time_point now = now_();
    if (now - session->lastUse > idle_) {
        byId_.erase(found);
        home.erase(session);
        return false;
    }
    if (session->site != site)
        return false;
    session->lastUse = now;
    if (!session->established) {
        session->established = true;
        dropEnded(established_, now);
        if (established_.size() >= establishedMax_)
            dropOldest(established_);
    }
    established_.splice(established_.begin(), home, session);
    return true;
}

std::string Sessions::create(const std::string& site) {
    std::lock_guard lock(mutex_);
    const Clock::time_point now = now_();
    dropEnded(probation_, now);
    dropEnded(established_, now);
    if (probation_.size() >= probationMax_)
        dropOldest(probation_);
    std::string id;
    do {
        id = web::randomHex(true);
    } while (byId_.count(id) != 0);
    probation_.push_front(Session{id, site, now, false});
    byId_.emplace(id, probation_.begin());
    return id;
}

std::size_t Sessions::size() {
    std::lock_guard lock(mutex_);
    return byId_.size();
}

}  // namespace yhz::sim
