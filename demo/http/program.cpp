#include "demo/http/program.h"

#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "base/background_task.h"
#include "demo/http/http_support.h"

namespace yhz::web {

ProgramOptions::ProgramOptions(std::string program, std::string synopsis)
    : program_(std::move(program)), synopsis_(std::move(synopsis)) {}

void ProgramOptions::value(std::string name, std::string valueName, std::string help,
                           std::function<bool(const std::string&)> take) {
    options_.push_back({std::move(name), std::move(valueName), std::move(help), std::move(take)});
}

void ProgramOptions::text(std::string name, std::string valueName, std::string help,
                          std::string* target) {
    value(std::move(name), std::move(valueName), std::move(help), [target](const std::string& v) {
        *target = v;
        return true;
    });
}

void ProgramOptions::number(std::string name, std::string help, long min, long max,
                            std::function<void(long)> take) {
    value(std::move(name), "N", std::move(help), [=](const std::string& v) {
        const std::optional<long> n = parseNumber(v, min, max);
        if (n)
            take(*n);
        return n.has_value();
    });
}

void ProgramOptions::flag(std::string name, std::string help, bool* target) {
    options_.push_back({std::move(name), {}, std::move(help), [target](const std::string&) {
                            *target = true;
                            return true;
                        }});
}

void ProgramOptions::listening(std::string* address, int* port, std::size_t* threads) {
    text("--address", "ADDR", "address to listen on (default " + *address + ")", address);
    number("--port", "port, 0 for any free one (default " + std::to_string(*port) + ")", 0, 65535,
           [port](long n) { *port = static_cast<int>(n); });
    number("--threads", "request threads (default " + std::to_string(*threads) + ")", 1, 256,
           [threads](long n) { *threads = static_cast<std::size_t>(n); });
}

void ProgramOptions::usage() const {
    std::fprintf(stderr, "usage: %s\n", synopsis_.c_str());
    for (const Option& option : options_) {
        const std::string left =
            option.name + (option.valueName.empty() ? "" : " " + option.valueName);
        std::fprintf(stderr, "  %-22s %s\n", left.c_str(), option.help.c_str());
    }
}

std::optional<int> ProgramOptions::parse(int argc, char** argv) const {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
        }
        const Option* found = nullptr;
        for (const Option& option : options_) {
            if (option.name == arg)
                found = &option;
        }
        if (!found) {
            std::fprintf(stderr, "%s: unknown option %s\n", program_.c_str(), arg.c_str());
            usage();
            return 2;
        }
        std::string value;
        if (!found->valueName.empty()) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "%s: %s needs a value\n", program_.c_str(), arg.c_str());
                usage();
                return 2;
            }
            value = argv[++i];
        }
        if (!found->take(value)) {
            std::fprintf(stderr, "%s: bad value for %s: %s\n", program_.c_str(), arg.c_str(),
                         value.c_str());
            return 2;
        }
    }
    return std::nullopt;
}

namespace {

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// Runs `stop` with a watchdog that ends the process when it takes too long.
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

}  // namespace

int serveUntilSignalled(const std::string& program,
                        const std::function<bool(std::string* error, std::string* banner)>& start,
                        const std::function<bool()>& stop, std::chrono::milliseconds bound) {
    // Blocked before any thread starts, so that only the wait below
    // receives them.
    const sigset_t signals = stopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    // A client that goes away mid-reply must not end the process.
    std::signal(SIGPIPE, SIG_IGN);
    std::string error;
    std::string banner;
    if (!start(&error, &banner)) {
        std::fprintf(stderr, "%s: %s\n", program.c_str(), error.c_str());
        return 1;
    }
    std::printf("%s\n", banner.c_str());
    std::fflush(stdout);
    int received = 0;
    sigwait(&signals, &received);
    stopWithin(bound, stop);
    return 0;
}

}  // namespace yhz::web
