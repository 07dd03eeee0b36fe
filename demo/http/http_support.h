#pragma once
// Small pieces both demo servers use: a strict form parser, the host of a
// Host header, unguessable identifiers, header values read as text and
// numbers.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yhz::web {

struct FormField {
    std::string name;
    std::string value;
};

// One piece of "a=1&b=2": the text before its first "=" and the text after
// it, `value` being absent when the piece has no "=". Neither is decoded.
struct FieldPiece {
    std::string_view name;
    std::optional<std::string_view> value;
};

// The pieces of a form body or a query, split at "&"; empty pieces ("&&", a
// trailing "&") are skipped.
std::vector<FieldPiece> splitFields(std::string_view text);

// Parses an application/x-www-form-urlencoded body. "+" is a space and "%XY"
// a byte; empty pieces ("&&", a trailing "&") are skipped. A piece without
// "=", an empty name or a broken escape makes the whole form malformed.
std::optional<std::vector<FormField>> parseForm(std::string_view body);

// Percent-decoded as browsers' paths and queries are read: an escape that
// is not one stays as it is; "+" is a space when `plusIsSpace`.
std::string decodeLenient(std::string_view text, bool plusIsSpace);

// Value of the first field of that name, nullptr when absent.
const std::string* findField(const std::vector<FormField>& form, std::string_view name);
std::size_t countField(const std::vector<FormField>& form, std::string_view name);

// Lower-cased host of a Host header, without its port.
std::string hostWithoutPort(std::string_view hostHeader);
// A host as it goes into a URL: an IPv6 literal in brackets (a zone's "%"
// as "%25"), anything else as it is.
std::string hostInUrl(std::string_view host);

// 16 bytes from OpenSSL's generator as 32 hex digits: tokens and session ids
// must not be guessable from the ones a client has seen.
std::string randomHex(bool upperCase);

// Spaces and tabs gone from both ends, as header values are read.
std::string_view trimmed(std::string_view text);
// Plain decimal digits only, at most 18 of them; nullopt for anything else.
std::optional<std::uint64_t> decimal(std::string_view text);
// Decimal integer in [min, max], nothing else.
std::optional<long> parseNumber(std::string_view text, long min, long max);

}  // namespace yhz::web
