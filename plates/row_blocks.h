#pragma once
// The rows of a list kept in blocks of a fixed number of rows. A row never
// moves once appended: growing the list adds a block instead of copying every
// row into a bigger buffer, so an append under the store's lock stays short at
// a million rows and a viewer waiting for that lock is not held for the time a
// vector takes to move half a million rows.

#include <compare>
#include <cstddef>
#include <iterator>
#include <utility>
#include <vector>

namespace yhz {

template <typename Row>
class RowBlocks {
    template <bool kConst>
    class Iterator;

public:
    // A power of two, so that finding a row is a shift and a mask.
    static constexpr std::size_t kBlockShift = 12;
    static constexpr std::size_t kBlockRows = std::size_t{1} << kBlockShift;

    using value_type = Row;
    using size_type = std::size_t;
    using difference_type = std::ptrdiff_t;
    using reference = Row&;
    using const_reference = const Row&;
    using iterator = Iterator<false>;
    using const_iterator = Iterator<true>;

    RowBlocks() = default;
    RowBlocks(RowBlocks&&) noexcept = default;
    RowBlocks& operator=(RowBlocks&&) noexcept = default;
    // Copies would be a million rows by accident; `row()` copies one.
    RowBlocks(const RowBlocks&) = delete;
    RowBlocks& operator=(const RowBlocks&) = delete;

    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }

    Row& operator[](std::size_t k) { return blocks_[k >> kBlockShift][k & (kBlockRows - 1)]; }
    const Row& operator[](std::size_t k) const {
        return blocks_[k >> kBlockShift][k & (kBlockRows - 1)];
    }

    iterator begin() { return {this, 0}; }
    iterator end() { return {this, size_}; }
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size_}; }
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }

    void push_back(Row row) {
        if ((size_ & (kBlockRows - 1)) == 0) {
            // Reserved in full, so this block never reallocates; only the
            // short list of blocks ever grows.
            blocks_.emplace_back().reserve(kBlockRows);
        }
        blocks_.back().push_back(std::move(row));
        ++size_;
    }

    // Removes [first, last), moving the rows after it up.
    iterator erase(const_iterator first, const_iterator last) {
        const std::size_t from = first.index_;
        const std::size_t to = last.index_;
        if (from < to) {
            std::size_t out = from;
            for (std::size_t in = to; in < size_; ++in, ++out) {
                (*this)[out] = std::move((*this)[in]);
            }
            truncate(out);
        }
        return {this, from};
    }
    iterator erase(const_iterator at) { return erase(at, at + 1); }

    void clear() {
        blocks_.clear();
        blocks_.shrink_to_fit();
        size_ = 0;
    }

private:
    // Drops the rows from `count` on, and any block left empty.
    void truncate(std::size_t count) {
        while (size_ > count) {
            blocks_.back().pop_back();
            if (blocks_.back().empty()) {
                blocks_.pop_back();
            }
            --size_;
        }
    }

    std::vector<std::vector<Row>> blocks_;
    std::size_t size_ = 0;
};

// A random-access position in the blocks, so the standard algorithms work on
// them as on a vector.
template <typename Row>
template <bool kConst>
class RowBlocks<Row>::Iterator {
    using Owner = std::conditional_t<kConst, const RowBlocks, RowBlocks>;

public:
    using iterator_concept = std::random_access_iterator_tag;
    using iterator_category = std::random_access_iterator_tag;
    using value_type = Row;
    using difference_type = std::ptrdiff_t;
    using pointer = std::conditional_t<kConst, const Row*, Row*>;
    using reference = std::conditional_t<kConst, const Row&, Row&>;

    Iterator() = default;
    Iterator(Owner* owner, std::size_t index) : owner_(owner), index_(index) {}
    // A mutable position converts to a read-only one.
    template <bool kOther>
    requires(kConst && !kOther) Iterator(const Iterator<kOther>& other)
        : owner_(other.owner_), index_(other.index_) {}

    reference operator*() const { return (*owner_)[index_]; }
    pointer operator->() const { return &(*owner_)[index_]; }
    reference operator[](difference_type n) const { return *(*this + n); }

    Iterator& operator++() {
        ++index_;
        return *this;
    }
    Iterator operator++(int) {
        Iterator old = *this;
        ++index_;
        return old;
    }
    Iterator& operator--() {
        --index_;
        return *this;
    }
    Iterator operator--(int) {
        Iterator old = *this;
        --index_;
        return old;
    }
    Iterator& operator+=(difference_type n) {
        index_ = static_cast<std::size_t>(static_cast<difference_type>(index_) + n);
        return *this;
    }
    Iterator& operator-=(difference_type n) { return *this += -n; }
    friend Iterator operator+(Iterator it, difference_type n) { return it += n; }
    friend Iterator operator+(difference_type n, Iterator it) { return it += n; }
    friend Iterator operator-(Iterator it, difference_type n) { return it -= n; }
    friend difference_type operator-(const Iterator& a, const Iterator& b) {
        return static_cast<difference_type>(a.index_) - static_cast<difference_type>(b.index_);
    }
    friend bool operator==(const Iterator& a, const Iterator& b) { return a.index_ == b.index_; }
    friend std::strong_ordering operator<=>(const Iterator& a, const Iterator& b) {
        return a.index_ <=> b.index_;
    }

private:
    friend class RowBlocks;
    template <bool>
    friend class Iterator;

    Owner* owner_ = nullptr;
    std::size_t index_ = 0;
};

}  // namespace yhz
