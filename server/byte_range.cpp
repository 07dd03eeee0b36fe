#include "server/byte_range.h"

#include <optional>

namespace yhz::service {

namespace {

std::optional<std::uint64_t> number(std::string_view text) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

}  // namespace

ByteRange byteRange(std::string_view header, std::uint64_t size) {
    constexpr std::string_view kUnit = "bytes=";
    header = trimmed(header);
    if (header.substr(0, kUnit.size()) != kUnit)
        return {};
    const std::string_view spec = trimmed(header.substr(kUnit.size()));
    if (spec.find(',') != std::string_view::npos)
        return {};
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos)
        return {};
    const std::string_view from = trimmed(spec.substr(0, dash));
    const std::string_view to = trimmed(spec.substr(dash + 1));
    constexpr ByteRange unsatisfiable{ByteRange::Kind::Unsatisfiable, 0, 0};
    if (from.empty()) {
        const std::optional<std::uint64_t> suffix = number(to);
        if (!suffix)
            return {};
        if (*suffix == 0 || size == 0)
            return unsatisfiable;
        const std::uint64_t length = *suffix < size ? *suffix : size;
        return {ByteRange::Kind::Part, size - length, size - 1};
    }
    const std::optional<std::uint64_t> first = number(from);
    const std::optional<std::uint64_t> last =
        to.empty() ? std::optional<std::uint64_t>(size - 1) : number(to);
    if (!first || !last || (!to.empty() && *last < *first))
        return {};
    if (*first >= size)
        return unsatisfiable;
    return {ByteRange::Kind::Part, *first, *last < size ? *last : size - 1};
}

}  // namespace yhz::service
