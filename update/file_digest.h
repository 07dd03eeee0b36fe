#pragma once
// The SHA-256 of a file, read a piece at a time.

#include <optional>
#include <string>

namespace yhz {

// 64 lower-case hex digits; nullopt when the file cannot be read whole.
std::optional<std::string> fileSha256(const std::string& path);

}  // namespace yhz
