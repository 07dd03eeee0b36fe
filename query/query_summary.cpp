#include "query/query_summary.h"

#include <algorithm>

#include "plates/plate_store.h"
#include "text/encoding.h"

namespace yhz {

QueryTally tallyQueryRun(const CellColourTable& colours, int total, int done) {
    QueryTally tally;
    tally.total = total;
    tally.done = done;
    for (const CellColour& cell : colours.entries()) {
        if (cell.column != PlateRow::kPlate) {
            continue;
        }
        tally.available += cell.background == kColourGreen ? 1 : 0;
        tally.occupied += cell.background == kColourRed ? 1 : 0;
        tally.expired += cell.background == kColourBlue ? 1 : 0;
    }
    tally.failed = std::max(0, done - tally.available - tally.occupied - tally.expired);
    return tally;
}

std::string queryEndLine(const QueryTally& tally) {
    const auto n = [](int value) { return std::to_string(value); };
    std::string line = tally.done < tally.total
                           ? gbk("查询停止！已查询") + n(tally.done) + "/" + n(tally.total)
                           : gbk("查询结束！共") + n(tally.total);
    return line + gbk("个：可用") + n(tally.available) + gbk("个，占用") + n(tally.occupied) +
           gbk("个，逾期") + n(tally.expired) + gbk("个，失败") + n(tally.failed) + gbk("个");
}

}  // namespace yhz
