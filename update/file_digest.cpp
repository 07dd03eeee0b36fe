#include "update/file_digest.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

#include "platform/files.h"

namespace yhz {

std::optional<std::string> fileSha256(const std::string& path) {
    std::ifstream in(platform::utf8Path(path), std::ios::binary);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    std::array<char, 64 * 1024> buffer{};
    while (in) {
        in.read(buffer.data(), buffer.size());
        const std::streamsize got = in.gcount();
        if (got > 0 &&
            EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got)) != 1) {
            return std::nullopt;
        }
    }
    if (in.bad()) {
        return std::nullopt;
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
        return std::nullopt;
    }
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (unsigned int k = 0; k < length; ++k) {
        text += kDigits[digest[k] >> 4];
        text += kDigits[digest[k] & 0x0F];
    }
    return text;
}

}  // namespace yhz
