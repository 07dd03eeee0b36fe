#pragma once
// JSON values and their texts: the reader's values read from GBK or UTF-8
// text with a bound on nesting, and written back as a script engine writes
// them. Inside the json library only: it names the JSON library's types.

#include <nlohmann/json.hpp>

#include <optional>
#include <string>
#include <string_view>

namespace yhz::json {

// Members keep the order they arrived in.
using Json = nlohmann::ordered_json;

// GBK text to UTF-8 and back; ASCII passes unchanged without a conversion.
std::string toUtf8(std::string_view gbkText);
std::string toLocal(std::string_view utf8);

// JSON text (UTF-8) to a value; nullopt when it is not JSON or nests arrays
// and objects deeper than `maxDepth`. The depth is checked before parsing, so
// a deep text costs no recursion.
std::optional<Json> parseJson(std::string_view utf8, int maxDepth);
std::optional<Json> parseGbkJson(std::string_view gbkText, int maxDepth);

// Nesting of arrays and objects in a value: 0 for a scalar.
int valueDepth(const Json& v);

// Any JSON number as a double.
double numberOf(const Json& v);

// Compact JSON text (UTF-8) of a value, as a script engine writes it.
std::string jsText(const Json& v);

}  // namespace yhz::json
