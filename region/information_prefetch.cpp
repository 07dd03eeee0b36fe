#include "region/information_prefetch.h"

#include <condition_variable>
#include <map>
#include <mutex>
#include <optional>

namespace yhz {

struct InformationPrefetch::State {
    InformationFetch fetch;
    std::mutex mutex;
    std::condition_variable_any arrived;
    // A path's entry is empty while its request runs and gone once taken.
    std::map<std::string, std::optional<std::string>, std::less<>> replies;
};

InformationPrefetch::InformationPrefetch(BackgroundTaskOwner& tasks, InformationFetch fetch,
                                         const std::vector<std::string>& paths)
    : state_(std::make_shared<State>()) {
    state_->fetch = std::move(fetch);
    if (!state_->fetch) {
        return;
    }
    // Every entry is there before the first request starts: a request that
    // ends at once finds its own, and nothing changes the map unlocked.
    for (const std::string& path : paths) {
        state_->replies.emplace(path, std::nullopt);
    }
    for (const std::string& path : paths) {
        const bool started =
            tasks.start("information prefetch", [state = state_, path](std::stop_token stop) {
                std::string body = state->fetch(path, stop);
                const std::scoped_lock lock(state->mutex);
                state->replies[path] = std::move(body);
                state->arrived.notify_all();
            });
        if (!started) {
            // The program is ending: nobody will ask.
            const std::scoped_lock lock(state_->mutex);
            state_->replies.erase(path);
        }
    }
}

InformationFetch InformationPrefetch::fetch() const {
    return [state = state_](std::string_view path, std::stop_token stop) -> std::string {
        {
            std::unique_lock lock(state->mutex);
            const auto entry = state->replies.find(path);
            if (entry != state->replies.end()) {
                const std::string key = entry->first;
                // Gone means another reader took the reply first: that one
                // asks the service again below.
                const auto ready = [&] {
                    const auto e = state->replies.find(key);
                    return e == state->replies.end() || e->second.has_value();
                };
                if (!state->arrived.wait(lock, stop, ready)) {
                    return {};
                }
                const auto arrived = state->replies.find(key);
                if (arrived != state->replies.end()) {
                    std::string body = std::move(*arrived->second);
                    state->replies.erase(arrived);
                    return body;
                }
            }
        }
        return state->fetch ? state->fetch(path, stop) : std::string();
    };
}

std::vector<std::string> InformationPrefetch::startupPaths() {
    return {std::string(kInformationTextPath), std::string(kRelayLinesPath)};
}

}  // namespace yhz
