#pragma once
// The one byte range a download answers. Several ranges in one request are
// answered with the whole file: a client gets nothing from overlapping
// parts that it could not get from one, and a reply can never announce more
// than the file holds.

#include <cstdint>
#include <string_view>

namespace yhz::service {

struct ByteRange {
    enum class Kind { Whole, Part, Unsatisfiable };
    Kind kind = Kind::Whole;
    std::uint64_t first = 0;
    std::uint64_t last = 0;  // inclusive
};

// Reads a Range header (empty: none) against a file of `size` bytes. Only
// "bytes=first-last", "bytes=first-" and "bytes=-suffix" make a Part;
// anything unreadable or with several ranges is Whole.
ByteRange byteRange(std::string_view header, std::uint64_t size);

}  // namespace yhz::service
