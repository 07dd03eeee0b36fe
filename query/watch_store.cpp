#include "query/watch_store.h"

#include "text/encoding.h"

namespace yhz {

WatchAnswer watchAnswerOf(const PlateRow& row) {
    if (row.expired) {
        return WatchAnswer::Expired;
    }
    switch (static_cast<PlateStatus>(row.status)) {
        case PlateStatus::Available:
            return WatchAnswer::Available;
        case PlateStatus::Occupied:
            return WatchAnswer::Occupied;
        default:
            return WatchAnswer::Unchecked;
    }
}

std::string watchResultText(WatchAnswer answer) {
    switch (answer) {
        case WatchAnswer::Available:
            return gbk("可用");
        case WatchAnswer::Occupied:
            return gbk("已占用");
        case WatchAnswer::Expired:
            return gbk("逾期");
        case WatchAnswer::Failed:
            return gbk("Err.失败");
        case WatchAnswer::Unchecked:
            break;
    }
    return gbk("未检查");
}

std::vector<std::string> WatchStore::plates() const {
    return read([](const Rows& rows) {
        std::vector<std::string> out;
        out.reserve(rows.size());
        for (const WatchRow& row : rows) {
            out.push_back(row.plate);
        }
        return out;
    });
}

bool WatchStore::applyAnswer(int hint, std::string_view plate, const PlateAnswer& answer,
                             const std::string& checkedAt) {
    WatchAnswer now = WatchAnswer::Failed;
    std::string text;
    switch (answer.kind) {
        case PlateAnswer::Kind::Available:
            now = WatchAnswer::Available;
            break;
        case PlateAnswer::Kind::Occupied:
            now = WatchAnswer::Occupied;
            break;
        case PlateAnswer::Kind::Expired:
            now = WatchAnswer::Expired;
            break;
        case PlateAnswer::Kind::TokenError:
            text = gbk("Token错误");
            break;
        case PlateAnswer::Kind::Failed:
            break;
        case PlateAnswer::Kind::Other:
            // The relay's own words, as the plate list shows them.
            text = answer.reply;
            break;
    }
    if (text.empty()) {
        text = watchResultText(now);
    }
    bool freed = false;
    writeMatching(
        hint, [plate](const WatchRow& r) { return r.plate == plate; },
        [&](WatchRow& r, int) {
            r.answer = now;
            r.result = text;
            r.checkedAt = checkedAt;
            if (now != WatchAnswer::Failed) {
                freed = now == WatchAnswer::Available && r.known != WatchAnswer::Available;
                r.known = now;
            }
            return true;
        });
    return freed;
}

}  // namespace yhz
