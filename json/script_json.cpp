#include "json/script_json.h"

// The reader: evaluates member paths against the value it holds, the way a
// script engine evaluates `value.path`, and answers with GBK texts.

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <optional>

#include "json/member_path.h"
#include "json/number_text.h"
#include "json/value_text.h"
#include "text/text_cut.h"

namespace yhz {

using json::appendJsNumber;
using json::formatG13;
using json::Json;
using json::jsText;
using json::numberFromText;
using json::numberOf;
using json::parseGbkJson;
using json::PathRule;
using json::PathStep;
using json::toLocal;
using json::toUtf8;
using json::valueDepth;

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

// The steps of a path with names in UTF-8, as the value's keys are.
std::optional<std::vector<PathStep>> parsePath(std::string_view path, PathRule rule) {
    auto steps = json::parseMemberPath(path, rule);
    if (steps) {
        for (PathStep& step : *steps) {
            if (!step.isIndex) {
                step.name = toUtf8(step.name);
            }
        }
    }
    return steps;
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

Ref stepInto(const Ref& from, const PathStep& step) {
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

Ref evaluate(bool defined, const Json& root, std::string_view path, PathRule rule) {
    const auto steps = parsePath(path, rule);
    if (!steps) {
        return Ref::error();
    }
    Ref r = defined ? Ref{Ref::Node, &root, 0} : Ref{};
    for (const PathStep& step : *steps) {
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
        PathStep step;
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
Json* storeInto(Json& parent, const PathStep& step, std::optional<Json> value) {
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
            PathStep step;
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
