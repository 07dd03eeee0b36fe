#pragma once
// Conversions between the program's GBK texts and UTF-8, form-value
// percent-encoding and Base64 decoding.

#include <string>
#include <string_view>

namespace yhz {

// UTF-8 of a GBK text (up to its first zero byte). Bytes that are not valid
// GBK become "?".
std::string localToUtf8(std::string_view text);

// GBK of UTF-8 bytes (all of them, zero bytes included), cut at the first zero
// byte of the result. Invalid UTF-8 and characters GBK cannot hold become "?".
std::string utf8ToLocal(std::string_view bytes);

// Shorthand for writing the program's fixed Chinese texts in UTF-8 source.
inline std::string gbk(std::string_view utf8) {
    return utf8ToLocal(utf8);
}

// Percent-encoding of a text's bytes (of its UTF-8 form with `asUtf8`).
// With `keepUnreserved`, "-", ".", digits and ASCII letters stay as they are.
std::string urlEncode(std::string_view text, bool keepUnreserved = true, bool asUtf8 = true);

// Standard Base64 (RFC 4648 alphabet). Spaces and CR LF pairs are ignored; a
// short last group decodes with zero bytes, which `stripZeros` removes.
std::string base64Decode(std::string_view text, bool stripZeros = false);

}  // namespace yhz
