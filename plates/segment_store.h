#pragma once
// The released segments of the segment list: segment text and release time
// exactly as the site sends them, and the check mark that picks a segment for
// expansion.

#include <string>

#include "plates/row_store.h"

namespace yhz {

struct SegmentRow {
    static constexpr int kColumns = 2;
    enum Column { kSegment = 0, kReleaseTime = 1 };

    std::string segment;      // "号段"
    std::string releaseTime;  // "投放时间"
    bool checked = false;

    std::string* cell(int column) {
        switch (column) {
            case kSegment:
                return &segment;
            case kReleaseTime:
                return &releaseTime;
            default:
                return nullptr;
        }
    }
};

using SegmentStore = RowStore<SegmentRow>;

}  // namespace yhz
