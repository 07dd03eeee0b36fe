#pragma once
// Bytes as hex digits and back.

#include <optional>
#include <string>
#include <string_view>

namespace yhz {

// Two lower-case hex digits per byte.
std::string lowerHex(std::string_view bytes);

// The bytes of an even number of hex digits (either case); nullopt when
// `hex` holds anything else.
std::optional<std::string> bytesOfHex(std::string_view hex);

}  // namespace yhz
