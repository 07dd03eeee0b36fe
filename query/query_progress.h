#pragma once
// How far a query run has come, read from the run's own counters, and the
// figures a progress bar shows: plates per minute and the time left.

#include <chrono>
#include <optional>
#include <string>

namespace yhz {

struct QueryProgress {
    using Clock = std::chrono::steady_clock;

    // Rows of the list when the run started, and rows whose worker has ended.
    int total = 0;
    int done = 0;
    Clock::time_point startedAt{};
    // Set once the run's controller has seen its last worker end.
    std::optional<Clock::time_point> endedAt;

    bool started() const { return startedAt != Clock::time_point{}; }
};

struct ProgressFigures {
    // Plates finished per minute since the start; 0 until the first ends.
    double perMinute = 0;
    // Unknown until a rate exists and after a stop; zero once all are done.
    std::optional<std::chrono::seconds> left;
};

ProgressFigures progressFigures(const QueryProgress& progress,
                                QueryProgress::Clock::time_point now);

// "done/total  rate 个/分  剩余 m:ss", UTF-8, for the bar's own text.
std::string progressCaption(const QueryProgress& progress, QueryProgress::Clock::time_point now);

}  // namespace yhz
