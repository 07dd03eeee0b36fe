#pragma once
// The expired plates of the last retrieval, in retrieval order, duplicates
// kept. One retrieval writes while query workers read: readers share the
// lock, so a query that runs during a retrieval sees what has arrived so far.

#include <shared_mutex>
#include <string>
#include <string_view>
#include <vector>

namespace yhz {

class ExpiredPlateSet {
public:
    void clear();
    void append(std::string plate);
    void appendAll(std::vector<std::string> plates);
    size_t size() const;
    std::vector<std::string> entries() const;

    // True when any entry contains `plate` (case-sensitive, stepping over
    // two-byte characters). An empty plate is found in any non-empty entry.
    bool contains(std::string_view plate) const;

private:
    mutable std::shared_mutex mutex_;
    std::vector<std::string> entries_;
};

inline bool isExpiredPlate(const ExpiredPlateSet& set, std::string_view plate) {
    return set.contains(plate);
}

}  // namespace yhz
