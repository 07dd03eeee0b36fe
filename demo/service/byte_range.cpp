#include "demo/service/byte_range.h"

#include <optional>

#include "demo/http/http_support.h"

namespace yhz::service {

ByteRange byteRange(std::string_view header, std::uint64_t size) {
    constexpr std::string_view kUnit = "bytes=";
    header = web::trimmed(header);
    if (header.substr(0, kUnit.size()) != kUnit)
        return {};
    const std::string_view spec = web::trimmed(header.substr(kUnit.size()));
    if (spec.find(',') != std::string_view::npos)
        return {};
    const std::size_t dash = spec.find('-');
    if (dash == std::string_view::npos)
        return {};
    const std::string_view from = web::trimmed(spec.substr(0, dash));
    const std::string_view to = web::trimmed(spec.substr(dash + 1));
    constexpr ByteRange unsatisfiable{ByteRange::Kind::Unsatisfiable, 0, 0};
    if (from.empty()) {
        const std::optional<std::uint64_t> suffix = web::decimal(to);
        if (!suffix)
            return {};
        if (*suffix == 0 || size == 0)
            return unsatisfiable;
        const std::uint64_t length = *suffix < size ? *suffix : size;
        return {ByteRange::Kind::Part, size - length, size - 1};
    }
    const std::optional<std::uint64_t> first = web::decimal(from);
    const std::optional<std::uint64_t> last =
        to.empty() ? std::optional<std::uint64_t>(size - 1) : web::decimal(to);
    if (!first || !last || (!to.empty() && *last < *first))
        return {};
    if (*first >= size)
        return unsatisfiable;
    return {ByteRange::Kind::Part, *first, *last < size ? *last : size - 1};
}

}  // namespace yhz::service
