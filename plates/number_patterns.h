#pragma once
// Nice-number choices over a candidate's digit text: shapes people look for
// (three or four equal digits in a row, AABB, ABAB, ABBA, straights up or
// down) and the digits a plate may end in. Nothing chosen lets every
// candidate through, so the choices only ever narrow the digit rules.

#include <array>
#include <string_view>

namespace yhz {

class WindowAccess;

enum class NumberShape {
    Triple,        // AAA anywhere
    Quadruple,     // AAAA anywhere
    Pairs,         // AABB, A and B different
    Alternation,   // ABAB, A and B different
    Mirror,        // ABBA, A and B different
    StraightUp,    // four digits rising by one: 1234
    StraightDown,  // four digits falling by one: 4321
};
inline constexpr int kNumberShapes = 7;

struct NumberPatterns {
    std::array<bool, kNumberShapes> shapes{};  // any chosen shape will do
    std::array<bool, 10> tails{};              // when any is chosen, the last digit must be one

    NumberPatterns& with(NumberShape shape) {
        shapes[static_cast<size_t>(shape)] = true;
        return *this;
    }

    bool passes(std::string_view digits) const;

    // The choices ticked in the window.
    static NumberPatterns read(const WindowAccess& window);
};

bool hasShape(std::string_view digits, NumberShape shape);

}  // namespace yhz
