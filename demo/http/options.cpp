#include "demo/http/options.h"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/background_task.h"

namespace yhz::web {

std::optional<long> parseNumber(std::string_view text, long min, long max) {
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    if (text.empty())
        return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

namespace {
sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}
}  // namespace

void blockStopSignals() {
    sigset_t set = stopSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // A client that goes away mid-reply must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
}

void waitForStopSignal() {
    sigset_t set = stopSignals();
    int received = 0;
    sigwait(&set, &received);
}

void stopWithin(std::chrono::milliseconds bound, const std::function<bool()>& stop) {
    BackgroundTaskOwner owner;
    std::mutex mutex;
    std::condition_variable_any stopped;
    owner.start("stop watchdog", [&](std::stop_token token) {
        std::unique_lock lock(mutex);
        if (!stopped.wait_for(lock, token, bound, [] { return false; }) &&
            !token.stop_requested()) {
            std::fputs("stop took too long; ending at once\n", stderr);
            std::_Exit(1);
        }
    });
    const bool clean = stop();
    owner.shutdown();
    if (!clean) {
        std::fputs("a request handler did not end; ending at once\n", stderr);
        std::_Exit(1);
    }
}

}  // namespace yhz::web
