#include "query/query_summary.h"

#include "text/encoding.h"

namespace yhz {

std::string queryEndLine(const QueryTally& tally) {
    const auto n = [](int value) { return std::to_string(value); };
    std::string line = tally.done < tally.total
                           ? gbk("查询停止！已查询") + n(tally.done) + "/" + n(tally.total)
                           : gbk("查询结束！共") + n(tally.total);
    return line + gbk("个：可用") + n(tally.available) + gbk("个，占用") + n(tally.occupied) +
           gbk("个，逾期") + n(tally.expired) + gbk("个，失败") + n(tally.failed) + gbk("个");
}

}  // namespace yhz
