#pragma once
// SHA-256 digests, as 64 lower-case hex digits.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace yhz {

struct FileDigest {
    std::int64_t size = 0;
    std::string sha256;
};

// The size and SHA-256 of a file (a UTF-8 name), from one read a piece at a
// time; nullopt when it cannot be read whole.
std::optional<FileDigest> fileDigest(const std::string& path);

std::string sha256Hex(std::string_view bytes);

}  // namespace yhz
