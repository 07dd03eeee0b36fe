#pragma once
// Numbers as texts: written into JSON the way a script engine writes them,
// shown as "%.13g" writes them, and read back from a member's text.

#include <string>
#include <string_view>

namespace yhz::json {

// Appends `v` as a script engine's JSON writer does: the shortest digits
// that read back to `v`, plain notation from 1e-6 up to 1e21 and exponent
// notation outside ("1e+21", "1e-7"); -0 as 0; NaN and the infinities as null.
void appendJsNumber(std::string& out, double v);

// `v` as "%.13g" writes it.
std::string formatG13(double v);

// The number a whole text spells, spaces and tabs around it allowed; 0 for
// an empty text and for anything that is not one number.
double numberFromText(std::string_view text);

}  // namespace yhz::json
