#include "query/query_progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace yhz {

ProgressFigures progressFigures(const QueryProgress& progress,
                                QueryProgress::Clock::time_point now) {
    ProgressFigures figures;
    if (!progress.started()) {
        return figures;
    }
    // An ended run keeps the figures of its end, not a rate that decays.
    const auto until = progress.endedAt.value_or(now);
    const double seconds =
        std::chrono::duration<double>(
            std::max(until - progress.startedAt, QueryProgress::Clock::duration::zero()))
            .count();
    if (progress.done > 0 && seconds > 0) {
        figures.perMinute = progress.done * 60.0 / seconds;
    }
    if (progress.endedAt) {
        // A stopped run has no time left to tell of.
        if (progress.done >= progress.total) {
            figures.left = std::chrono::seconds(0);
        }
    } else if (figures.perMinute > 0) {
        const int rest = std::max(progress.total - progress.done, 0);
        figures.left = std::chrono::seconds(
            static_cast<long long>(std::ceil(rest * 60.0 / figures.perMinute)));
    }
    return figures;
}

namespace {

std::string clockText(std::chrono::seconds left) {
    const long long all = left.count();
    char text[32];
    if (all >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", all / 3600, all / 60 % 60, all % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", all / 60, all % 60);
    }
    return text;
}

}  // namespace

std::string progressCaption(const QueryProgress& progress, QueryProgress::Clock::time_point now) {
    const ProgressFigures figures = progressFigures(progress, now);
    std::string caption = std::to_string(progress.done) + "/" + std::to_string(progress.total);
    caption += "  " + std::to_string(std::lround(figures.perMinute)) + " 个/分";
    caption += "  剩余 " + (figures.left ? clockText(*figures.left) : std::string("--:--"));
    return caption;
}

}  // namespace yhz
