#include "plates/list_operations.h"

#include <algorithm>
#include <functional>
#include <string_view>
#include <unordered_set>

#include "text/gbk_text.h"

namespace yhz {
namespace {

struct PairKey {
    std::string_view plate;
    std::string_view date;
    bool operator==(const PairKey&) const = default;
};

struct PairHash {
    size_t operator()(const PairKey& key) const {
        const size_t a = std::hash<std::string_view>{}(key.plate);
        const size_t b = std::hash<std::string_view>{}(key.date);
        return a ^ (b + 0x9e3779b97f4a7c15ULL + (a << 6) + (a >> 2));
    }
};

}  // namespace

void deleteCheckedPlates(PlateStore& plates) {
    plates.rebuild([](PlateStore::Rows& rows) {
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [](const PlateRow& row) { return row.checked; }),
                   rows.end());
        for (size_t k = 0; k < rows.size(); ++k) {
            rows[k].id = std::to_string(k + 1);
        }
    });
}

void removeDuplicatePlates(PlateStore& plates) {
    plates.rebuild([](PlateStore::Rows& rows) {
        // The pair is compared field by field rather than as one joined text,
        // so a plate holding the joining character cannot swallow its date.
        PlateStore::Rows kept;
        {
            std::unordered_set<PairKey, PairHash> seen;
            seen.reserve(rows.size());
            std::vector<bool> keep(rows.size());
            for (size_t k = 0; k < rows.size(); ++k) {
                keep[k] = seen.insert({rows[k].plate, rows[k].date}).second;
            }
            seen.clear();
            for (size_t k = 0; k < rows.size(); ++k) {
                if (keep[k]) {
                    PlateRow row;
                    row.id = std::to_string(kept.size() + 1);
                    row.plate = trimSpaces(rows[k].plate);
                    row.date = std::move(rows[k].date);
                    kept.push_back(std::move(row));
                }
            }
        }
        rows = std::move(kept);
    });
}

}  // namespace yhz
