#include "package_signing/hex.h"

#include <openssl/crypto.h>
#include <openssl/err.h>

namespace yhz {

std::string lowerHex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(2 * bytes.size());
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0F];
    }
    return out;
}

std::optional<std::string> bytesOfHex(std::string_view hex) {
    // OpenSSL reads up to the first zero byte, which would hide what follows.
    if (hex.size() % 2 != 0 || hex.find('\0') != std::string_view::npos) {
        return std::nullopt;
    }
    const std::string text(hex);
    std::string bytes(hex.size() / 2, '\0');
    std::size_t length = 0;
    // A refused text leaves nothing in this thread's OpenSSL error queue,
    // where a later TLS call would take it for its own failure.
    ERR_set_mark();
    const bool ok = OPENSSL_hexstr2buf_ex(reinterpret_cast<unsigned char*>(bytes.data()),
                                          bytes.size(), &length, text.c_str(), '\0') == 1;
    ERR_pop_to_mark();
    if (!ok || length != bytes.size()) {
        return std::nullopt;
    }
    return bytes;
}

}  // namespace yhz
