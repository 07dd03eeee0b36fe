#pragma once
// The exact text the publisher signs about an update package and the
// program checks: name, version, size and SHA-256, one line each, "\n"
// after every line. Its form is part of the wire format.

#include <cstdint>
#include <string>
#include <string_view>

namespace yhz {

// `name` and `version` in UTF-8; `sha256Hex` 64 lower-case hex digits.
std::string packageStatement(std::string_view name, std::string_view version, std::int64_t size,
                             std::string_view sha256Hex);

}  // namespace yhz
