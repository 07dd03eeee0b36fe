#include "plates/number_patterns.h"

#include <algorithm>

#include "base/control_names.h"
#include "base/window_access.h"

namespace yhz {
namespace {

// Whether some window of `width` digits satisfies `test(first digit of it)`.
template <typename Test>
bool anyWindow(std::string_view d, size_t width, Test&& test) {
    for (size_t at = 0; at + width <= d.size(); ++at) {
        if (test(d.data() + at)) {
            return true;
        }
    }
    return false;
}

bool straight(const char* d, int step) {
    for (int k = 1; k < 4; ++k) {
        if (d[k] - d[k - 1] != step) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool hasShape(std::string_view digits, NumberShape shape) {
    switch (shape) {
        case NumberShape::Triple:
            return anyWindow(digits, 3, [](const char* d) { return d[0] == d[1] && d[1] == d[2]; });
        case NumberShape::Quadruple:
            return anyWindow(digits, 4, [](const char* d) {
                return d[0] == d[1] && d[1] == d[2] && d[2] == d[3];
            });
        case NumberShape::Pairs:
            return anyWindow(digits, 4, [](const char* d) {
                return d[0] == d[1] && d[2] == d[3] && d[0] != d[2];
            });
        case NumberShape::Alternation:
            return anyWindow(digits, 4, [](const char* d) {
                return d[0] == d[2] && d[1] == d[3] && d[0] != d[1];
            });
        case NumberShape::Mirror:
            return anyWindow(digits, 4, [](const char* d) {
                return d[0] == d[3] && d[1] == d[2] && d[0] != d[1];
            });
        case NumberShape::StraightUp:
            return anyWindow(digits, 4, [](const char* d) { return straight(d, 1); });
        case NumberShape::StraightDown:
            return anyWindow(digits, 4, [](const char* d) { return straight(d, -1); });
    }
    return false;
}

bool NumberPatterns::passes(std::string_view digits) const {
    if (std::find(tails.begin(), tails.end(), true) != tails.end()) {
        const char last = digits.empty() ? '\0' : digits.back();
        if (last < '0' || last > '9' || !tails[static_cast<size_t>(last - '0')]) {
            return false;
        }
    }
    if (std::find(shapes.begin(), shapes.end(), true) == shapes.end()) {
        return true;
    }
    for (int k = 0; k < kNumberShapes; ++k) {
        if (shapes[static_cast<size_t>(k)] && hasShape(digits, static_cast<NumberShape>(k))) {
            return true;
        }
    }
    return false;
}

NumberPatterns NumberPatterns::read(const WindowAccess& window) {
    static constexpr std::array<std::string_view, kNumberShapes> kShapeChoices = {
        control::kPatternTriple,      control::kPatternQuadruple, control::kPatternPairs,
        control::kPatternAlternation, control::kPatternMirror,    control::kPatternStraightUp,
        control::kPatternStraightDown};
    NumberPatterns patterns;
    for (size_t k = 0; k < kShapeChoices.size(); ++k) {
        patterns.shapes[k] = window.isChecked(kShapeChoices[k]);
    }
    for (size_t k = 0; k < control::kTailDigitChoices.size(); ++k) {
        patterns.tails[k] = window.isChecked(control::kTailDigitChoices[k]);
    }
    return patterns;
}

}  // namespace yhz
