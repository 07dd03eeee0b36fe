#include "base/operation_log.h"

#include "base/date_time_format.h"
#include "base/window_access.h"

namespace yhz {

void OperationLog::appendLog(std::string_view text, bool withTime) {
    std::string line;
    if (withTime) {
        line = formatDateTime(std::nullopt, 1, 3);
        line += " >>> ";
    }
    line += text;
    line += "\r\n";

    // The pane is told under the same lock so that its updates arrive in the
    // order of the content's.
    const std::lock_guard lock(mutex_);
    if (content_.size() > kSizeBound) {
        content_.clear();
        window_.logCleared();
    }
    content_ += line;
    window_.logAppended(line);
}

std::string OperationLog::content() const {
    const std::lock_guard lock(mutex_);
    return content_;
}

}  // namespace yhz
