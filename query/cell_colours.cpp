#include "query/cell_colours.h"

#include <algorithm>

#include "plates/plate_store.h"

namespace yhz {

CellColourTable::CellColourTable(ColourRef listText, ColourRef listBackground)
    : listText_(listText), listBackground_(listBackground) {}

void CellColourTable::setListColours(ColourRef text, ColourRef background) {
    const std::lock_guard lock(mutex_);
    listText_ = text;
    listBackground_ = background;
    markLocked(0, 0, true);
}

void CellColourTable::setCellColour(int row, int column, ColourRef text,
                                    std::optional<ColourRef> background) {
    const std::lock_guard lock(mutex_);
    inUse_ = true;
    const ColourRef back = background.value_or(listBackground_);
    const auto key = std::make_pair(row, column);
    const bool plain = text == listText_ && back == listBackground_;
    if (plain) {
        entries_.erase(key);
    } else {
        entries_[key] = CellColour{row, column, text, back};
    }
    markLocked(row, row + 1, false);
}

void CellColourTable::clearCellColours() {
    const std::lock_guard lock(mutex_);
    if (!inUse_) {
        return;
    }
    entries_.clear();
    inUse_ = false;
    markLocked(0, 0, true);
}

void CellColourTable::useColours() {
    const std::lock_guard lock(mutex_);
    if (!inUse_) {
        inUse_ = true;
        markLocked(0, 0, true);
    }
}

std::optional<CellColourTable::Paint> CellColourTable::paint(int row, int column) const {
    const std::lock_guard lock(mutex_);
    if (!inUse_) {
        return std::nullopt;
    }
    const auto found = entries_.find({row, column});
    if (found == entries_.end()) {
        return Paint{kColourBlack, listBackground_};
    }
    return Paint{found->second.text, found->second.background};
}

std::optional<CellColour> CellColourTable::entry(int row, int column) const {
    const std::lock_guard lock(mutex_);
    const auto found = entries_.find({row, column});
    return found == entries_.end() ? std::nullopt : std::optional<CellColour>(found->second);
}

std::vector<CellColour> CellColourTable::entries() const {
    const std::lock_guard lock(mutex_);
    std::vector<CellColour> out;
    out.reserve(entries_.size());
    for (const auto& [key, colour] : entries_) {
        out.push_back(colour);
    }
    return out;
}

bool CellColourTable::inUse() const {
    const std::lock_guard lock(mutex_);
    return inUse_;
}

void CellColourTable::setListener(std::function<void()> listener) {
    const std::lock_guard lock(mutex_);
    listener_ = std::move(listener);
}

ColourChanges CellColourTable::takeChanges() {
    const std::lock_guard lock(mutex_);
    const ColourChanges out = changes_;
    changes_ = {};
    pending_ = false;
    return out;
}

void CellColourTable::markLocked(int firstRow, int endRow, bool all) {
    if (all) {
        changes_.all = true;
    } else if (firstRow < endRow) {
        if (changes_.firstRow >= changes_.endRow) {
            changes_.firstRow = firstRow;
            changes_.endRow = endRow;
        } else {
            changes_.firstRow = std::min(changes_.firstRow, firstRow);
            changes_.endRow = std::max(changes_.endRow, endRow);
        }
    }
    if (!pending_) {
        pending_ = true;
        if (listener_) {
            listener_();
        }
    }
}

void deleteAllPlates(PlateStore& plates, CellColourTable& colours) {
    plates.clear();
    colours.clearCellColours();
}

}  // namespace yhz
