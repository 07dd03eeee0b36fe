#include "json/value_text.h"

#include <algorithm>
#include <cstdint>

#include "json/number_text.h"
#include "json/string_text.h"
#include "text/encoding.h"

namespace yhz::json {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\0'; });
}

// Deepest bracket nesting of a JSON text, scanning no further than one past
// `limit`; strings are skipped.
int nestingDepth(std::string_view text, int limit) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '\\') {
                ++i;
            } else if (c == '"') {
                inString = false;
            }
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '[' || c == '{') {
            deepest = std::max(deepest, ++depth);
            if (deepest > limit) {
                return deepest;
            }
        } else if (c == ']' || c == '}') {
            --depth;
        }
    }
    return deepest;
}

void appendJs(std::string& out, const Json& v) {
    switch (v.type()) {
        case Json::value_t::object: {
            out += '{';
            bool first = true;
            for (const auto& [key, member] : v.items()) {
                if (!first) {
                    out += ',';
                }
                first = false;
                appendJsString(out, key);
                out += ':';
                appendJs(out, member);
            }
            out += '}';
            break;
        }
        case Json::value_t::array: {
            out += '[';
            bool first = true;
            for (const auto& element : v) {
                if (!first) {
                    out += ',';
                }
                first = false;
                appendJs(out, element);
            }
            out += ']';
            break;
        }
        case Json::value_t::string:
            appendJsString(out, v.get_ref<const std::string&>());
            break;
        case Json::value_t::boolean:
            out += v.get<bool>() ? "true" : "false";
            break;
        case Json::value_t::number_integer:
        case Json::value_t::number_unsigned:
        case Json::value_t::number_float:
            appendJsNumber(out, numberOf(v));
            break;
        default:
            out += "null";
            break;
    }
}

}  // namespace

std::string toUtf8(std::string_view gbkText) {
    return isAscii(gbkText) ? std::string(gbkText) : localToUtf8(gbkText);
}

std::string toLocal(std::string_view utf8) {
    return isAscii(utf8) ? std::string(utf8) : utf8ToLocal(utf8);
}

std::optional<Json> parseJson(std::string_view utf8, int maxDepth) {
    if (maxDepth < 0 || nestingDepth(utf8, maxDepth) > maxDepth) {
        return std::nullopt;
    }
    try {
        Json value = Json::parse(utf8.begin(), utf8.end(), nullptr, false);
        if (value.is_discarded()) {
            return std::nullopt;
        }
        return value;
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

std::optional<Json> parseGbkJson(std::string_view gbkText, int maxDepth) {
    return parseJson(toUtf8(gbkText), maxDepth);
}

int valueDepth(const Json& v) {
    // Only called on values read or built here, which are bounded in depth.
    if (!v.is_structured()) {
        return 0;
    }
    int deepest = 0;
    for (const auto& child : v) {
        deepest = std::max(deepest, valueDepth(child));
    }
    return deepest + 1;
}

double numberOf(const Json& v) {
    if (v.is_number_integer()) {
        return v.is_number_unsigned() ? static_cast<double>(v.get<std::uint64_t>())
                                      : static_cast<double>(v.get<std::int64_t>());
    }
    return v.get<double>();
}

std::string jsText(const Json& v) {
    std::string out;
    appendJs(out, v);
    return out;
}

}  // namespace yhz::json
