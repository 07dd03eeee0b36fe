#include "json/script_json.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

#include "text/encoding.h"
#include "text/gbk_text.h"
#include "text/text_cut.h"

namespace yhz {

using Json = nlohmann::ordered_json;

namespace {
struct Ref;
}  // namespace

// The value is a node of a tree that readers made by getObject share until
// one of them writes: the writer first takes a copy of its own, so a reader
// never sees another's changes, and reading a reply costs no copying.
struct ScriptJson::State {
    bool defined = true;  // false: the value is undefined (a failed parse)
    std::shared_ptr<Json> root = std::make_shared<Json>(Json::object());
    const Json* node = root.get();

    const Json& value() const { return *node; }
    Json& writable() {
        if (root.use_count() > 1 || node != root.get()) {
            root = std::make_shared<Json>(*node);
            node = root.get();
        }
        return *root;
    }
    void replace(Json v) {
        root = std::make_shared<Json>(std::move(v));
        node = root.get();
    }
    // Holds the value `r` names in `from`; no value when it names none.
    void takeCopyOf(const State& from, const Ref& r);
};

namespace {

// An array index assignment may leave holes (filled with null); this bounds
// how far past the end one assignment may reach.
constexpr std::size_t kMaxHoleFill = std::size_t{1} << 20;

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '\0'; });
}

std::string toUtf8(std::string_view gbkText) {
    return isAscii(gbkText) ? std::string(gbkText) : localToUtf8(gbkText);
}

std::string toLocal(std::string_view utf8) {
    return isAscii(utf8) ? std::string(utf8) : utf8ToLocal(utf8);
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

// JSON text (UTF-8) to a value; nullopt when it is not JSON or nests deeper
// than `maxDepth`.
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

int valueDepth(const Json& v) {
    // Only called on values built here, which are bounded by kMaxDepth.
    if (!v.is_structured()) {
        return 0;
    }
    int deepest = 0;
    for (const auto& child : v) {
        deepest = std::max(deepest, valueDepth(child));
    }
    return deepest + 1;
}

// --- number texts --------------------------------------------------------------

double numberOf(const Json& v) {
    if (v.is_number_integer()) {
        return v.is_number_unsigned() ? static_cast<double>(v.get<std::uint64_t>())
                                      : static_cast<double>(v.get<std::int64_t>());
    }
    return v.get<double>();
}

std::string formatG13(double v) {
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 13);
    return std::string(buf, r.ptr);
}

// How a script engine writes a number into JSON text.
void appendJsNumber(std::string& out, double v) {
    if (!std::isfinite(v)) {
        out += "null";
        return;
    }
    if (v == 0) {
        out += '0';
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::scientific);
    std::string_view sci(buf, static_cast<size_t>(r.ptr - buf));
    if (sci.front() == '-') {
        out += '-';
        sci.remove_prefix(1);
    }
    const size_t e = sci.find('e');
    std::string digits;
    for (const char c : sci.substr(0, e)) {
        if (c != '.') {
            digits += c;
        }
    }
    int exponent = 0;
    std::string_view expText = sci.substr(e + 1);
    if (!expText.empty() && expText.front() == '+') {
        expText.remove_prefix(1);
    }
    std::from_chars(expText.data(), expText.data() + expText.size(), exponent);
    const int k = static_cast<int>(digits.size());
    const int n = exponent + 1;
    if (k <= n && n <= 21) {
        out += digits;
        out.append(static_cast<size_t>(n - k), '0');
    } else if (0 < n && n <= 21) {
        out.append(digits, 0, static_cast<size_t>(n));
        out += '.';
        out.append(digits, static_cast<size_t>(n));
    } else if (-6 < n && n <= 0) {
        out += "0.";
        out.append(static_cast<size_t>(-n), '0');
        out += digits;
    } else {
        out += digits[0];
        if (k > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += n - 1 >= 0 ? "e+" : "e-";
        out += std::to_string(std::abs(n - 1));
    }
}

// --- JSON text as a script engine writes it ----------------------------------------

bool escapedCodePoint(char32_t cp) {
    return cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xAD || (cp >= 0x600 && cp <= 0x604) ||
           cp == 0x70F || cp == 0x17B4 || cp == 0x17B5 || (cp >= 0x200C && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202F) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF ||
           (cp >= 0xFFF0 && cp <= 0xFFFF);
}

void appendJsString(std::string& out, const std::string& s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = 1;
        char32_t cp = b;
        if (b >= 0xF0 && i + 3 < s.size()) {
            len = 4;
            cp = ((b & 0x07u) << 18) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 12) |
                 ((static_cast<unsigned char>(s[i + 2]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 3]) & 0x3Fu);
        } else if (b >= 0xE0 && i + 2 < s.size()) {
            len = 3;
            cp = ((b & 0x0Fu) << 12) | ((static_cast<unsigned char>(s[i + 1]) & 0x3Fu) << 6) |
                 (static_cast<unsigned char>(s[i + 2]) & 0x3Fu);
        } else if (b >= 0xC0 && i + 1 < s.size()) {
            len = 2;
            cp = ((b & 0x1Fu) << 6) | (static_cast<unsigned char>(s[i + 1]) & 0x3Fu);
        }
        switch (cp) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\t':
                out += "\\t";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\r':
                out += "\\r";
                break;
            default:
                if (escapedCodePoint(cp)) {
                    out += "\\u";
                    for (int shift = 12; shift >= 0; shift -= 4) {
                        out += kHex[(cp >> shift) & 0xFu];
                    }
                } else {
                    out.append(s, i, len);
                }
        }
        i += len;
    }
    out += '"';
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

std::string jsText(const Json& v) {
    std::string out;
    appendJs(out, v);
    return out;
}

// --- member paths --------------------------------------------------------------

struct Step {
    bool isIndex = false;
    std::string name;  // UTF-8
    std::uint64_t index = 0;
    bool indexTooBig = false;
};

enum class PathRule {
    Member,  // R "." path
    Bracket  // a path that begins with "[" follows R directly
};

bool isIdentifierByte(unsigned char b, bool first) {
    return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || b == '_' || b == '$' || b >= 0x80 ||
           (!first && b >= '0' && b <= '9');
}

// The steps of a path; nullopt when the expression it makes is not valid.
std::optional<std::vector<Step>> parsePath(std::string_view path, PathRule rule) {
    std::vector<Step> steps;
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
            Step step;
            step.name = toUtf8(path.substr(start, i - start));
            steps.push_back(std::move(step));
        } else {
            // path[i] == '['
            ++i;
            const size_t start = i;
            Step step;
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

// What an expression evaluates to.
struct Ref {
    enum Kind { Error, Undefined, Function, Node, Number } kind = Undefined;
    const Json* node = nullptr;
    double number = 0;  // for Number (a length)

    static Ref error() { return Ref{Error, nullptr, 0}; }
    bool nullish() const { return kind == Undefined || (kind == Node && node->is_null()); }
};

bool isLibraryMember(const std::string& name) {
    // Members every value has in the original engine library.
    return name == "toJSONString" || name == "parseJSON";
}

size_t utf16Length(const std::string& s) {
    size_t n = 0;
    for (const char c : s) {
        const auto b = static_cast<unsigned char>(c);
        if ((b & 0xC0u) != 0x80) {
            n += b >= 0xF0 ? 2 : 1;
        }
    }
    return n;
}

Ref stepInto(const Ref& from, const Step& step) {
    if (from.kind == Ref::Error || from.nullish()) {
        return Ref::error();
    }
    if (from.kind != Ref::Node) {
        return Ref{};
    }
    const Json& v = *from.node;
    if (v.is_object()) {
        const std::string key = step.isIndex ? std::to_string(step.index) : step.name;
        if (step.isIndex && step.indexTooBig) {
            return Ref{};
        }
        const auto it = v.find(key);
        if (it != v.end()) {
            return Ref{Ref::Node, &*it, 0};
        }
        return isLibraryMember(key) ? Ref{Ref::Function, nullptr, 0} : Ref{};
    }
    if (step.isIndex) {
        if (v.is_array() && !step.indexTooBig && step.index < v.size()) {
            return Ref{Ref::Node, &v[static_cast<size_t>(step.index)], 0};
        }
        return Ref{};
    }
    if (isLibraryMember(step.name)) {
        return Ref{Ref::Function, nullptr, 0};
    }
    if (step.name == "length") {
        if (v.is_array()) {
            return Ref{Ref::Number, nullptr, static_cast<double>(v.size())};
        }
        if (v.is_string()) {
            return Ref{Ref::Number, nullptr,
                       static_cast<double>(utf16Length(v.get_ref<const std::string&>()))};
        }
    }
    return Ref{};
}

std::string refJson(const Ref& r) {
    if (r.kind == Ref::Node) {
        return jsText(*r.node);
    }
    if (r.kind == Ref::Number) {
        std::string out;
        appendJsNumber(out, r.number);
        return out;
    }
    return {};
}

std::string refText(const Ref& r) {
    if (r.kind == Ref::Number) {
        return formatG13(r.number);
    }
    if (r.kind != Ref::Node) {
        return {};
    }
    const Json& v = *r.node;
    if (v.is_string()) {
        return toLocal(v.get_ref<const std::string&>());
    }
    if (v.is_number()) {
        return formatG13(numberOf(v));
    }
    if (v.is_boolean()) {
        return v.get<bool>() ? "true" : "false";
    }
    if (v.is_structured()) {
        return toLocal(jsText(v));
    }
    return {};
}

}  // namespace

// --- evaluation against a value ---------------------------------------------------

namespace {

Ref evaluate(bool defined, const Json& root, std::string_view path, PathRule rule) {
    const auto steps = parsePath(path, rule);
    if (!steps) {
        return Ref::error();
    }
    Ref r = defined ? Ref{Ref::Node, &root, 0} : Ref{};
    for (const Step& step : *steps) {
        r = stepInto(r, step);
        if (r.kind == Ref::Error) {
            break;
        }
    }
    return r;
}

Ref elementOf(const Ref& r, long index) {
    if (r.kind == Ref::Error || r.nullish()) {
        return Ref::error();
    }
    if (index >= 0) {
        Step step;
        step.isIndex = true;
        step.index = static_cast<std::uint64_t>(index);
        return stepInto(r, step);
    }
    if (r.kind == Ref::Node && r.node->is_object()) {
        const auto it = r.node->find(std::to_string(index));
        if (it != r.node->end()) {
            return Ref{Ref::Node, &*it, 0};
        }
    }
    return Ref{};
}

// Stores `value` (nullopt: removes the member) at an array index or object
// key of `parent`; nullptr when nothing could be stored.
Json* storeInto(Json& parent, const Step& step, std::optional<Json> value) {
    if (parent.is_object()) {
        if (step.isIndex && step.indexTooBig) {
            return nullptr;
        }
        const std::string key = step.isIndex ? std::to_string(step.index) : step.name;
        if (!value) {
            parent.erase(key);
            return nullptr;
        }
        Json& slot = parent[key];
        slot = std::move(*value);
        return &slot;
    }
    if (parent.is_array() && step.isIndex) {
        if (step.indexTooBig || step.index >= parent.size() + kMaxHoleFill) {
            return nullptr;
        }
        const auto index = static_cast<size_t>(step.index);
        if (index >= parent.size()) {
            parent.get_ref<Json::array_t&>().resize(index + 1);
        }
        parent[index] = value ? std::move(*value) : Json();
        return &parent[index];
    }
    // A property of a string, number or boolean, or a named property of an
    // array: accepted and forgotten, as by a script engine.
    return nullptr;
}

std::optional<Json> parseGbkJson(std::string_view gbkText, int maxDepth) {
    return parseJson(toUtf8(gbkText), maxDepth);
}

double numberFromText(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return 0;
    }
    double v = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), v);
    return r.ec == std::errc() && r.ptr == text.data() + text.size() ? v : 0;
}

long leadingInteger(std::string_view text) {
    long v = 0;
    std::from_chars(text.data(), text.data() + text.size(), v);
    return v;
}

void spliceOne(Json& array, long index) {
    const auto size = static_cast<long>(array.size());
    const long start = index < 0 ? std::max(size + index, 0L) : index;
    if (start < size) {
        array.erase(array.begin() + start);
    }
}

template <class R, class F>
R guarded(R fallback, F&& f) noexcept {
    try {
        return f();
    } catch (const std::exception&) {
        return fallback;
    }
}

}  // namespace

// --- the reader ---------------------------------------------------------------

ScriptJson::ScriptJson() : state_(std::make_shared<State>()) {}
ScriptJson::ScriptJson(std::shared_ptr<State> state) : state_(std::move(state)) {}
ScriptJson::~ScriptJson() = default;
ScriptJson::ScriptJson(ScriptJson&&) noexcept = default;
ScriptJson& ScriptJson::operator=(ScriptJson&&) noexcept = default;

ScriptJson ScriptJson::copy() const {
    return ScriptJson(state_);
}

namespace {

// Assigns at a member path; returns the stored value, nullptr when the
// assignment did not take (or removed the member).
Json* assignAt(bool& defined, Json& root, std::string_view path, std::optional<Json> value) {
    const auto steps = parsePath(path, PathRule::Member);
    if (!steps) {
        return nullptr;
    }
    const int depth = value ? valueDepth(*value) : 0;
    if (static_cast<int>(steps->size()) + depth > ScriptJson::kMaxDepth) {
        return nullptr;
    }
    if (steps->empty()) {
        if (!value || value->is_null()) {
            defined = false;
            root = Json();
            return nullptr;
        }
        defined = true;
        root = std::move(*value);
        return &root;
    }
    Ref parent = defined ? Ref{Ref::Node, &root, 0} : Ref{};
    for (size_t k = 0; k + 1 < steps->size(); ++k) {
        parent = stepInto(parent, (*steps)[k]);
        if (parent.kind == Ref::Error) {
            return nullptr;
        }
    }
    if (parent.kind != Ref::Node || parent.node->is_null()) {
        return nullptr;
    }
    return storeInto(const_cast<Json&>(*parent.node), steps->back(), std::move(value));
}

}  // namespace

bool ScriptJson::parse(std::string_view text) {
    return guarded(false, [&] {
        std::optional<Json> v = parseGbkJson(text, kMaxDepth);
        if (!v || v->is_null()) {
            state_->defined = false;
            state_->replace(Json());
            return false;
        }
        state_->defined = true;
        state_->replace(std::move(*v));
        return true;
    });
}

std::string ScriptJson::toJson() const {
    return guarded(std::string(), [&] {
        return state_->defined ? toLocal(jsText(state_->value())) : std::string();
    });
}

void ScriptJson::setMember(std::string_view path, std::string_view value, bool raw) {
    guarded(0, [&] {
        std::optional<Json> v =
            raw ? parseGbkJson(value.empty() ? std::string_view("{}") : value, kMaxDepth)
                : std::optional<Json>(Json(toUtf8(value)));
        if (v) {
            assignAt(state_->defined, state_->writable(), path, std::move(v));
        }
        return 0;
    });
}

void ScriptJson::setMemberJson(std::string_view path, std::string_view json) {
    guarded(0, [&] {
        if (json.find_first_not_of(" \t\r\n") == std::string_view::npos) {
            assignAt(state_->defined, state_->writable(), path, std::nullopt);
            return 0;
        }
        if (std::optional<Json> v = parseGbkJson(json, kMaxDepth)) {
            assignAt(state_->defined, state_->writable(), path, std::move(v));
        }
        return 0;
    });
}

void ScriptJson::setNumber(std::string_view path, double number) {
    if (!std::isfinite(number)) {
        return;
    }
    guarded(0, [&] {
        assignAt(state_->defined, state_->writable(), path,
                 Json(numberFromText(formatG13(number))));
        return 0;
    });
}

double ScriptJson::getNumber(std::string_view path) const {
    return guarded(0.0, [&] {
        const Ref r = evaluate(state_->defined, state_->value(), path, PathRule::Member);
        if (r.kind == Ref::Number) {
            return r.number;
        }
        if (r.kind != Ref::Node) {
            return 0.0;
        }
        const Json& v = *r.node;
        if (v.is_number()) {
            return numberOf(v);
        }
        if (v.is_boolean()) {
            return v.get<bool>() ? 1.0 : 0.0;
        }
        if (v.is_string()) {
            return numberFromText(v.get_ref<const std::string&>());
        }
        return 0.0;
    });
}

std::string ScriptJson::getMemberJson(std::string_view path) const {
    return guarded(std::string(), [&] {
        return toLocal(refJson(evaluate(state_->defined, state_->value(), path, PathRule::Member)));
    });
}

std::string ScriptJson::getText(std::string_view path, bool asJson) const {
    return guarded(std::string(), [&] {
        const Ref r = evaluate(state_->defined, state_->value(), path, PathRule::Bracket);
        return asJson ? toLocal(refJson(r)) : refText(r);
    });
}

void ScriptJson::State::takeCopyOf(const State& from, const Ref& r) {
    if (r.kind == Ref::Node && !r.node->is_null()) {
        defined = true;
        root = from.root;
        node = r.node;
    } else if (r.kind == Ref::Number) {
        defined = true;
        replace(Json(r.number));
    } else {
        defined = false;
        replace(Json());
    }
}

ScriptJson ScriptJson::getObject(std::string_view path) const {
    return guarded(ScriptJson(), [&] {
        ScriptJson out;
        out.state_->takeCopyOf(*state_,
                               evaluate(state_->defined, state_->value(), path, PathRule::Bracket));
        return out;
    });
}

long ScriptJson::count(std::string_view path) const {
    return guarded(0L, [&] {
        if (!state_->defined) {
            return 0L;
        }
        const Ref r = evaluate(state_->defined, state_->value(), path, PathRule::Bracket);
        if (r.kind == Ref::Error) {
            return 0L;
        }
        if (r.kind == Ref::Node && r.node->is_structured()) {
            return static_cast<long>(r.node->size());
        }
        return -2L;
    });
}

void ScriptJson::push(std::string_view value, std::string_view path, bool raw) {
    guarded(0, [&] {
        std::optional<Json> v;
        if (raw) {
            if (!value.empty()) {
                v = parseGbkJson(value, kMaxDepth);
                if (!v) {
                    return 0;
                }
            }
        } else {
            v = Json(toUtf8(value));
        }
        const auto steps = parsePath(path, PathRule::Member);
        if (!steps || static_cast<int>(steps->size()) + 1 + (v ? valueDepth(*v) : 0) > kMaxDepth) {
            return 0;
        }
        const Ref target = evaluate(state_->defined, state_->writable(), path, PathRule::Member);
        Json* array = target.kind == Ref::Node && target.node->is_array()
                          ? const_cast<Json*>(target.node)
                          : assignAt(state_->defined, state_->writable(), path, Json::array());
        if (array != nullptr && v) {
            array->push_back(std::move(*v));
        }
        return 0;
    });
}

ScriptJson ScriptJson::elementObject(long index, std::string_view path) const {
    return guarded(ScriptJson(), [&] {
        ScriptJson out;
        out.state_->takeCopyOf(
            *state_,
            elementOf(evaluate(state_->defined, state_->value(), path, PathRule::Member), index));
        return out;
    });
}

std::string ScriptJson::elementText(long index, std::string_view path, bool asJson) const {
    return guarded(std::string(), [&] {
        const Ref r =
            elementOf(evaluate(state_->defined, state_->value(), path, PathRule::Member), index);
        return asJson ? toLocal(refJson(r)) : refText(r);
    });
}

void ScriptJson::setElement(long index, std::string_view value, bool raw) {
    guarded(0, [&] {
        std::optional<Json> v =
            raw ? parseGbkJson(value, kMaxDepth - 1) : std::optional<Json>(Json(toUtf8(value)));
        if (!v || !state_->defined) {
            return 0;
        }
        Json& root = state_->writable();
        if (root.is_object()) {
            root[std::to_string(index)] = std::move(*v);
        } else if (root.is_array() && index >= 0) {
            Step step;
            step.isIndex = true;
            step.index = static_cast<std::uint64_t>(index);
            storeInto(root, step, std::move(v));
        }
        return 0;
    });
}

void ScriptJson::removeElement(long index) {
    guarded(0, [&] {
        if (state_->defined && state_->value().is_array()) {
            spliceOne(state_->writable(), index);
        }
        return 0;
    });
}

void ScriptJson::removeAt(std::string_view pathWithIndex) {
    guarded(0, [&] {
        const std::string name = textBefore(pathWithIndex, "[");
        const long index = leadingInteger(textBetween(pathWithIndex, "[", "]"));
        const Ref r = evaluate(state_->defined, state_->writable(), name, PathRule::Bracket);
        if (r.kind == Ref::Node && r.node->is_array()) {
            spliceOne(const_cast<Json&>(*r.node), index);
        }
        return 0;
    });
}

void ScriptJson::reset(int typeCode) {
    if (typeCode == kNull || typeCode == kObject) {
        state_->defined = true;
        state_->replace(Json::object());
    } else if (typeCode == kArray) {
        state_->defined = true;
        state_->replace(Json::array());
    }
}

void ScriptJson::setRoot(std::string_view value, bool raw) {
    guarded(0, [&] {
        std::optional<Json> v =
            raw ? parseGbkJson(value, kMaxDepth) : std::optional<Json>(Json(toUtf8(value)));
        if (v) {
            assignAt(state_->defined, state_->writable(), "", std::move(v));
        }
        return 0;
    });
}

bool ScriptJson::has(std::string_view path) const {
    return guarded(false, [&] {
        const Ref r = evaluate(state_->defined, state_->value(), path, PathRule::Member);
        return r.kind == Ref::Number || r.kind == Ref::Function ||
               (r.kind == Ref::Node && !r.node->is_null());
    });
}

long ScriptJson::keys(std::vector<std::string>& list, std::string_view path) const {
    return guarded(0L, [&] {
        list.clear();
        const Ref r = evaluate(state_->defined, state_->value(), path, PathRule::Bracket);
        if (r.kind == Ref::Node && r.node->is_object()) {
            for (const auto& [key, member] : r.node->items()) {
                (void)member;
                if (!isLibraryMember(key)) {
                    list.push_back(toLocal(key));
                }
            }
        } else if (r.kind == Ref::Node && r.node->is_array()) {
            for (size_t k = 0; k < r.node->size(); ++k) {
                list.push_back(std::to_string(k));
            }
        }
        return static_cast<long>(list.size());
    });
}

int ScriptJson::typeOf(std::string_view path) const {
    return guarded(kOther, [&] {
        const Ref r = evaluate(state_->defined, state_->value(), path, PathRule::Member);
        if (r.kind == Ref::Error || r.kind == Ref::Function) {
            return kOther;
        }
        if (r.nullish()) {
            return kNull;
        }
        if (r.kind == Ref::Number) {
            return kNumber;
        }
        const Json& v = *r.node;
        if (v.is_boolean()) {
            return kBoolean;
        }
        if (v.is_number()) {
            return kNumber;
        }
        if (v.is_string()) {
            return kString;
        }
        if (v.is_array()) {
            return kArray;
        }
        return v.is_object() ? kObject : kOther;
    });
}

void ScriptJson::clear() {
    state_->defined = true;
    state_->replace(Json::object());
}

}  // namespace yhz
