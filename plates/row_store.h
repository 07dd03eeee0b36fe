#pragma once
// A thread-safe list of rows with a check mark each: the only copy of a list
// control's rows. Every call completes before it returns, so a write is seen
// by every thread afterwards. One plain mutex: every call is short, and a
// reader-preferring shared lock let a painting viewer starve the writers. A viewer learns what
// changed since it last looked through takeChanges(); the listener tells it that something did,
// once per batch rather than once per row. The rows live in fixed-size blocks
// (row_blocks.h), so no append ever moves the rows already there while a
// viewer waits for the lock.

#include <algorithm>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "plates/row_blocks.h"

namespace yhz {

// What a viewer must redo since its last look.
struct StoreChanges {
    int rowCount = 0;
    // Rows were removed or rebuilt: everything shown may be stale.
    bool reset = false;
    // Rows whose content changed: [firstDirty, endDirty), empty when equal.
    int firstDirty = 0;
    int endDirty = 0;
};

// Row must provide `static constexpr int kColumns`, `bool checked` and
// `std::string* cell(int column)` (nullptr for a column it does not have).
template <typename Row>
class RowStore {
public:
    static constexpr int kColumns = Row::kColumns;
    // What read(), update() and rebuild() hand their function: indexable,
    // iterable and erasable like a vector.
    using Rows = RowBlocks<Row>;

    RowStore() = default;
    RowStore(const RowStore&) = delete;
    RowStore& operator=(const RowStore&) = delete;

    int rowCount() const {
        const std::unique_lock lock(mutex_);
        return static_cast<int>(rows_.size());
    }

    // Appends a row at the end and returns its index.
    int append(Row row = {}) {
        const std::unique_lock lock(mutex_);
        rows_.push_back(std::move(row));
        noteLocked();
        return static_cast<int>(rows_.size()) - 1;
    }

    // Appends rows in one step; `finish(row, index)` runs on each under the
    // lock, so a row can carry its own index. Returns the first new index.
    template <typename Finish>
    int appendAll(std::vector<Row>&& rows, Finish finish) {
        const std::unique_lock lock(mutex_);
        const int first = static_cast<int>(rows_.size());
        for (Row& row : rows) {
            finish(row, static_cast<int>(rows_.size()));
            rows_.push_back(std::move(row));
        }
        noteLocked();
        return first;
    }

    std::string cellText(int row, int column) const {
        const std::unique_lock lock(mutex_);
        const Row* r = at(row);
        const std::string* cell = r == nullptr ? nullptr : const_cast<Row*>(r)->cell(column);
        return cell == nullptr ? std::string() : *cell;
    }

    bool setCellText(int row, int column, std::string text) {
        return writeRow(row, [&](Row& r) {
            std::string* cell = r.cell(column);
            if (cell == nullptr) {
                return false;
            }
            *cell = std::move(text);
            return true;
        });
    }

    bool checked(int row) const {
        return readRow(row, false, [](const Row& r) { return r.checked; });
    }

    bool setChecked(int row, bool checked) {
        return writeRow(row, [&](Row& r) {
            r.checked = checked;
            return true;
        });
    }

    std::optional<Row> row(int index) const {
        const std::unique_lock lock(mutex_);
        const Row* r = at(index);
        return r == nullptr ? std::nullopt : std::optional<Row>(*r);
    }

    bool removeRow(int row) {
        const std::unique_lock lock(mutex_);
        if (at(row) == nullptr) {
            return false;
        }
        rows_.erase(rows_.begin() + row);
        reset_ = true;
        noteLocked();
        return true;
    }

    void clear() {
        const std::unique_lock lock(mutex_);
        rows_.clear();
        reset_ = true;
        noteLocked();
    }

    // Reads every row under one lock: `f(const Rows&)`.
    template <typename F>
    decltype(auto) read(F&& f) const {
        const std::unique_lock lock(mutex_);
        return std::forward<F>(f)(std::as_const(rows_));
    }

    // Changes rows in place under one lock, keeping their number.
    template <typename F>
    void update(F&& f) {
        const std::unique_lock lock(mutex_);
        std::forward<F>(f)(rows_);
        markDirtyLocked(0, static_cast<int>(rows_.size()));
    }

    // Rebuilds the rows under one lock; any number may come out.
    template <typename F>
    void rebuild(F&& f) {
        const std::unique_lock lock(mutex_);
        std::forward<F>(f)(rows_);
        reset_ = true;
        noteLocked();
    }

    void checkAll() {
        update([](Rows& rows) {
            for (Row& r : rows) {
                r.checked = true;
            }
        });
    }

    void invertChecks() {
        update([](Rows& rows) {
            for (Row& r : rows) {
                r.checked = !r.checked;
            }
        });
    }

    // The listener is called (under the store's lock, so it must only post
    // or flag, never call back) when the first change after a takeChanges()
    // happens.
    void setListener(std::function<void()> listener) {
        const std::unique_lock lock(mutex_);
        listener_ = std::move(listener);
    }

    StoreChanges takeChanges() {
        const std::unique_lock lock(mutex_);
        StoreChanges out{static_cast<int>(rows_.size()), reset_, firstDirty_, endDirty_};
        if (out.firstDirty >= out.endDirty) {
            out.firstDirty = out.endDirty = 0;
        }
        reset_ = false;
        firstDirty_ = endDirty_ = 0;
        pending_ = false;
        return out;
    }

protected:
    template <typename F>
    bool writeRow(int row, F&& f) {
        const std::unique_lock lock(mutex_);
        Row* r = at(row);
        if (r == nullptr || !std::forward<F>(f)(*r)) {
            return false;
        }
        markDirtyLocked(row, row + 1);
        return true;
    }

    // Writes the row that `match` accepts: the one at `hint` when it does,
    // else the nearest one before it (rows above may have gone since the
    // caller looked). `f(row, index)` runs under the lock; false when no
    // row matched or `f` declined.
    template <typename Match, typename F>
    bool writeMatching(int hint, Match&& match, F&& f) {
        const std::unique_lock lock(mutex_);
        for (int index = std::min(hint, static_cast<int>(rows_.size()) - 1); index >= 0; --index) {
            Row& r = rows_[static_cast<size_t>(index)];
            if (match(r)) {
                if (!f(r, index)) {
                    return false;
                }
                markDirtyLocked(index, index + 1);
                return true;
            }
        }
        return false;
    }

    // The index of the row that `match` accepts, looked for as writeMatching()
    // does; -1 when there is none.
    template <typename Match>
    int findMatching(int hint, Match&& match) const {
        const std::unique_lock lock(mutex_);
        for (int index = std::min(hint, static_cast<int>(rows_.size()) - 1); index >= 0; --index) {
            if (match(rows_[static_cast<size_t>(index)])) {
                return index;
            }
        }
        return -1;
    }

    template <typename T, typename F>
    T readRow(int row, T fallback, F&& f) const {
        const std::unique_lock lock(mutex_);
        const Row* r = at(row);
        return r == nullptr ? fallback : std::forward<F>(f)(*r);
    }

private:
    Row* at(int row) {
        return row >= 0 && row < static_cast<int>(rows_.size()) ? &rows_[static_cast<size_t>(row)]
                                                                : nullptr;
    }
    const Row* at(int row) const { return const_cast<RowStore*>(this)->at(row); }

    void markDirtyLocked(int first, int end) {
        if (first < end) {
            if (firstDirty_ >= endDirty_) {
                firstDirty_ = first;
                endDirty_ = end;
            } else {
                firstDirty_ = std::min(firstDirty_, first);
                endDirty_ = std::max(endDirty_, end);
            }
        }
        noteLocked();
    }

    void noteLocked() {
        if (!pending_) {
            pending_ = true;
            if (listener_) {
                listener_();
            }
        }
    }

    mutable std::mutex mutex_;
    Rows rows_;
    std::function<void()> listener_;
    bool pending_ = false;
    bool reset_ = false;
    int firstDirty_ = 0;
    int endDirty_ = 0;
};

}  // namespace yhz
