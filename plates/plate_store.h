#pragma once
// The candidate plates of the plate list: Id (display only), plate text,
// release date or origin, check mark and the query status kept as the row's
// item data.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plates/row_store.h"

namespace yhz {

// The row's 32-bit item data. Other values may be stored; they mean nothing.
enum class PlateStatus : std::int32_t { Unknown = 0, Available = 1, Occupied = 2 };

struct PlateRow {
    static constexpr int kColumns = 3;
    enum Column { kId = 0, kPlate = 1, kDate = 2 };

    std::string id;     // "Id": the row's position when it was written
    std::string plate;  // "号牌"
    std::string date;   // "投放日期", or the text a failed query left there
    bool checked = false;
    // The date column holds a query's failure text, which the next query
    // run takes away.
    bool queryNote = false;
    // The last query found the plate among the expired ones (its cell is
    // blue); the status stays 0.
    bool expired = false;
    std::int32_t status = 0;
    // The background (0x00BBGGRR) a query gave the 号牌 cell, text black.
    // Part of the row, so that it moves wherever the row goes and goes with
    // it: a colour never stays behind at a position for another row.
    std::optional<std::uint32_t> plateBackground;

    // Available, occupied or expired: a query has nothing more to tell.
    bool hasFinalAnswer() const {
        return expired || status == static_cast<std::int32_t>(PlateStatus::Available) ||
               status == static_cast<std::int32_t>(PlateStatus::Occupied);
    }

    std::string* cell(int column) {
        switch (column) {
            case kId:
                return &id;
            case kPlate:
                return &plate;
            case kDate:
                return &date;
            default:
                return nullptr;
        }
    }
};

class PlateStore : public RowStore<PlateRow> {
public:
    std::int32_t status(int row) const {
        return readRow(row, std::int32_t{0}, [](const PlateRow& r) { return r.status; });
    }
    bool setStatus(int row, std::int32_t status) {
        return writeRow(row, [&](PlateRow& r) {
            r.status = status;
            return true;
        });
    }
    bool setStatus(int row, PlateStatus status) {
        return setStatus(row, static_cast<std::int32_t>(status));
    }

    // Runs `mark(row, index)` under the store's lock on the row that holds
    // `plate`: the row at `index` while it still does, else the nearest one
    // before it. False, with nothing run, once no such row is left: a
    // query's answer never lands on a plate it did not ask about.
    template <typename F>
    bool markPlate(int index, std::string_view plate, F&& mark) {
        return writeMatching(
            index, [plate](const PlateRow& r) { return r.plate == plate; },
            [&mark](PlateRow& r, int at) {
                mark(r, at);
                return true;
            });
    }

    // Whether the row at `index`, or one before it, still holds `plate`.
    bool holdsPlate(int index, std::string_view plate) const {
        return findMatching(index, [plate](const PlateRow& r) { return r.plate == plate; }) >= 0;
    }

    std::optional<std::uint32_t> plateBackground(int row) const {
        return readRow(row, std::optional<std::uint32_t>(),
                       [](const PlateRow& r) { return r.plateBackground; });
    }

    // What a new query run starts from: every status back to 0, no colour,
    // and the failure texts of an earlier run gone from the date column.
    // Returns the plates of the rows, in order, as the run found them.
    std::vector<std::string> resetForQuery() {
        std::vector<std::string> plates;
        update([&plates](Rows& rows) {
            plates.reserve(rows.size());
            for (PlateRow& r : rows) {
                r.status = 0;
                r.expired = false;
                r.plateBackground.reset();
                if (r.queryNote) {
                    r.date.clear();
                    r.queryNote = false;
                }
                plates.push_back(r.plate);
            }
        });
        return plates;
    }

    // Rows without a final answer: never asked, failed, or answered with
    // something else than the relay's two words.
    int unfinishedCount() const {
        return read([](const Rows& rows) {
            int count = 0;
            for (const PlateRow& r : rows) {
                count += r.hasFinalAnswer() ? 0 : 1;
            }
            return count;
        });
    }

    // Appends an unchecked row of status 0 whose Id is its own index plus
    // `idBase` (1 for generated rows, 0 for imported ones). Returns the index.
    int appendNumbered(std::string plate, std::string date, int idBase) {
        std::vector<PlateRow> one(1);
        one[0].plate = std::move(plate);
        one[0].date = std::move(date);
        return appendAllNumbered(std::move(one), idBase);
    }

    int appendAllNumbered(std::vector<PlateRow>&& rows, int idBase) {
        return appendAll(std::move(rows), [idBase](PlateRow& r, int index) {
            r.id = std::to_string(index + idBase);
        });
    }
};

}  // namespace yhz
