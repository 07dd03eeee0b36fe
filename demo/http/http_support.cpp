#include "demo/http/http_support.h"

#include <algorithm>
#include <cctype>
#include <random>

#include <openssl/rand.h>

namespace yhz::web {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// What a "%" that is not followed by two hex digits does.
enum class BrokenEscape { Reject, Keep };

std::optional<std::string> percentDecode(std::string_view text, bool plusIsSpace,
                                         BrokenEscape broken) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (plusIsSpace && c == '+') {
            out += ' ';
            continue;
        }
        if (c == '%') {
            const int high = i + 2 < text.size() ? hexValue(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexValue(text[i + 2]) : -1;
            if (high >= 0 && low >= 0) {
                out += static_cast<char>(high * 16 + low);
                i += 2;
                continue;
            }
            if (broken == BrokenEscape::Reject)
                return std::nullopt;
        }
        out += c;
    }
    return out;
}

}  // namespace

std::vector<FieldPiece> splitFields(std::string_view text) {
    std::vector<FieldPiece> pieces;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find('&'), text.size());
        const std::string_view piece = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        if (piece.empty())
            continue;
        const std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos)
            pieces.push_back(FieldPiece{piece, std::nullopt});
        else
            pieces.push_back(FieldPiece{piece.substr(0, eq), piece.substr(eq + 1)});
    }
    return pieces;
}

std::string decodeLenient(std::string_view text, bool plusIsSpace) {
    return *percentDecode(text, plusIsSpace, BrokenEscape::Keep);
}

std::optional<std::vector<FormField>> parseForm(std::string_view body) {
    std::vector<FormField> fields;
    for (const FieldPiece& piece : splitFields(body)) {
        if (!piece.value || piece.name.empty())
            return std::nullopt;
        auto name = percentDecode(piece.name, true, BrokenEscape::Reject);
        auto value = percentDecode(*piece.value, true, BrokenEscape::Reject);
        if (!name || !value || name->empty())
            return std::nullopt;
        fields.push_back(FormField{std::move(*name), std::move(*value)});
    }
    return fields;
}

const std::string* findField(const std::vector<FormField>& form, std::string_view name) {
    for (const FormField& field : form) {
        if (field.name == name)
            return &field.value;
    }
    return nullptr;
}

std::size_t countField(const std::vector<FormField>& form, std::string_view name) {
    std::size_t n = 0;
    for (const FormField& field : form) {
        if (field.name == name)
            ++n;
    }
    return n;
}

std::string hostWithoutPort(std::string_view hostHeader) {
    std::string host;
    if (!hostHeader.empty() && hostHeader.front() == '[') {
        std::size_t close = hostHeader.find(']');
        host = std::string(
            hostHeader.substr(0, close == std::string_view::npos ? hostHeader.size() : close + 1));
    } else {
        host = std::string(hostHeader.substr(0, hostHeader.find(':')));
    }
    for (char& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!host.empty() && host.back() == '.')
        host.pop_back();
    return host;
}

std::string hostInUrl(std::string_view host) {
    if (host.find(':') == std::string_view::npos || host.starts_with('['))
        return std::string(host);
    std::string out = "[";
    for (char c : host)
        out += c == '%' ? std::string("%25") : std::string(1, c);
    return out + "]";
}

std::string randomHex(bool upperCase) {
    const char* hex = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        std::random_device device;
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(device());
    }
    std::string text;
    text.reserve(32);
    for (unsigned char b : bytes) {
        text += hex[b >> 4];
        text += hex[b & 0xfu];
    }
    return text;
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.remove_suffix(1);
    return text;
}

std::optional<std::uint64_t> decimal(std::string_view text) {
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

std::optional<long> parseNumber(std::string_view text, long min, long max) {
    if (text.empty() || text.size() > 12)
        return std::nullopt;
    const bool negative = text.front() == '-';
    if (negative)
        text.remove_prefix(1);
    const std::optional<std::uint64_t> magnitude = decimal(text);
    if (!magnitude)
        return std::nullopt;
    const long value = negative ? -static_cast<long>(*magnitude) : static_cast<long>(*magnitude);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

}  // namespace yhz::web
