#pragma once
// Member paths as a script writes them after a value: `totalCount`,
// `content[3].subhd`, `[2]`. Only names and decimal indices; anything else
// (calls, quoted keys, spaces) is not a path. Paths are GBK text: a byte of
// 0x80 or above starts a two-byte character, which a name may hold.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yhz::json {

struct PathStep {
    bool isIndex = false;
    std::string name;  // as written in the path (GBK)
    std::uint64_t index = 0;
    // The index has more digits than 64 bits hold; `index` is then meaningless.
    bool indexTooBig = false;
};

enum class PathRule {
    // The path follows the value as `value.path`: it starts with a name.
    Member,
    // A path that begins with "[" follows the value directly (`value[2].a`).
    Bracket
};

// The steps of a path, none for the empty path; nullopt when the expression
// it makes is not valid.
std::optional<std::vector<PathStep>> parseMemberPath(std::string_view path, PathRule rule);

}  // namespace yhz::json
