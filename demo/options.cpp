#include "demo/options.h"

#include <csignal>

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

}  // namespace yhz::web
