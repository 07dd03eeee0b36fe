#include "plates/expired_plates.h"

#include <mutex>

#include "text/gbk_text.h"

namespace yhz {

void ExpiredPlateSet::clear() {
    const std::unique_lock lock(mutex_);
    entries_.clear();
}

void ExpiredPlateSet::append(std::string plate) {
    const std::unique_lock lock(mutex_);
    entries_.push_back(std::move(plate));
}

void ExpiredPlateSet::appendAll(std::vector<std::string> plates) {
    const std::unique_lock lock(mutex_);
    entries_.insert(entries_.end(), std::make_move_iterator(plates.begin()),
                    std::make_move_iterator(plates.end()));
}

size_t ExpiredPlateSet::size() const {
    const std::shared_lock lock(mutex_);
    return entries_.size();
}

std::vector<std::string> ExpiredPlateSet::entries() const {
    const std::shared_lock lock(mutex_);
    return entries_;
}

bool ExpiredPlateSet::contains(std::string_view plate) const {
    const std::shared_lock lock(mutex_);
    for (const std::string& entry : entries_) {
        if (findText(entry, plate) > 0) {
            return true;
        }
    }
    return false;
}

}  // namespace yhz
