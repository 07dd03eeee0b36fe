#pragma once
// The rows of the watch list: each watched plate with its last answer and
// when it came. The only copy of them; the watch list's window shows them
// through the same kind of model as the plate list.

#include <string>
#include <string_view>
#include <vector>

#include "plates/plate_store.h"
#include "plates/row_store.h"
#include "query/query_run.h"

namespace yhz {

enum class WatchAnswer { Unchecked, Available, Occupied, Expired, Failed };

struct WatchRow {
    static constexpr int kColumns = 3;
    enum Column { kPlate = 0, kResult = 1, kCheckedAt = 2 };

    std::string plate;      // "号牌", GBK
    std::string result;     // "最近结果": what `answer` says, or the failure text
    std::string checkedAt;  // "检查时间"; empty until a check of this run
    bool checked = false;
    WatchAnswer answer = WatchAnswer::Unchecked;
    // The last answer that said something of the plate itself (available,
    // occupied, expired): a failed check leaves it as it was.
    WatchAnswer known = WatchAnswer::Unchecked;

    std::string* cell(int column) {
        switch (column) {
            case kPlate:
                return &plate;
            case kResult:
                return &result;
            case kCheckedAt:
                return &checkedAt;
            default:
                return nullptr;
        }
    }
};

// What a row of the plate list says of its plate, as the watch list keeps it.
WatchAnswer watchAnswerOf(const PlateRow& row);
// The text of "最近结果" for an answer that is no failure (GBK).
std::string watchResultText(WatchAnswer answer);

class WatchStore : public RowStore<WatchRow> {
public:
    // The plates, in order.
    std::vector<std::string> plates() const;

    // Writes the answer to the row of `plate` (at `hint` while it is there,
    // else looked for before it). True when the plate has turned available:
    // the answer says so and the last one that said anything did not.
    bool applyAnswer(int hint, std::string_view plate, const PlateAnswer& answer,
                     const std::string& checkedAt);
};

}  // namespace yhz
