#include "retrieval/page_guard.h"

namespace yhz {

std::optional<RunEnd> PageGuard::admit(long page, long rows,
                                       const std::vector<std::string>& texts) {
    if (page > kMaxPages) {
        return RunEnd::PageLimit;
    }
    if (!previous_.empty() && texts == previous_) {
        return RunEnd::Repeated;
    }
    previous_ = texts;
    taken_ += rows;
    return std::nullopt;
}

}  // namespace yhz
