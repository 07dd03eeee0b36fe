#include "json/member_path.h"

#include <limits>

namespace yhz::json {
namespace {

bool isIdentifierByte(unsigned char b, bool first) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b == '$' || b >= 0x80 ||
           (!first && b >= '0' && b <= '9');
}

}  // namespace

std::optional<std::vector<PathStep>> parseMemberPath(std::string_view path, PathRule rule) {
    std::vector<PathStep> steps;
    if (path.empty()) {
        return steps;
    }
    size_t i = 0;
    bool expectName = path.front() != '[' || rule == PathRule::Member;
    while (true) {
        if (expectName) {
            const size_t start = i;
            while (i < path.size() &&
                   isIdentifierByte(static_cast<unsigned char>(path[i]), i == start)) {
                // A two-byte character is taken whole.
                i += static_cast<unsigned char>(path[i]) >= 0x80 ? size_t{2} : size_t{1};
            }
            if (i == start || i > path.size()) {
                return std::nullopt;
            }
            PathStep step;
            step.name = std::string(path.substr(start, i - start));
            steps.push_back(std::move(step));
        } else {
            // path[i] == '['
            ++i;
            const size_t start = i;
            PathStep step;
            step.isIndex = true;
            while (i < path.size() && path[i] >= '0' && path[i] <= '9') {
                const auto digit = static_cast<std::uint64_t>(path[i] - '0');
                if (step.index > (std::numeric_limits<std::uint64_t>::max() - digit) / 10) {
                    step.indexTooBig = true;
                } else {
                    step.index = step.index * 10 + digit;
                }
                ++i;
            }
            if (i == start || i >= path.size() || path[i] != ']') {
                return std::nullopt;
            }
            ++i;
            steps.push_back(std::move(step));
        }
        if (i == path.size()) {
            return steps;
        }
        if (path[i] == '.') {
            ++i;
            expectName = true;
        } else if (path[i] == '[') {
            expectName = false;
        } else {
            return std::nullopt;
        }
    }
}

}  // namespace yhz::json
