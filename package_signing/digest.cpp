#include "package_signing/digest.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

#include "package_signing/hex.h"
#include "platform/files.h"

namespace yhz {
namespace {

std::string hexOf(const std::array<unsigned char, EVP_MAX_MD_SIZE>& digest, unsigned int length) {
    return lowerHex(std::string_view(reinterpret_cast<const char*>(digest.data()), length));
}

}  // namespace

std::optional<FileDigest> fileDigest(const std::string& path) {
    std::ifstream in(platform::utf8Path(path), std::ios::binary);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    FileDigest result;
    std::array<char, 64 * 1024> buffer{};
    while (in) {
        in.read(buffer.data(), buffer.size());
        const std::streamsize got = in.gcount();
        result.size += got;
        if (got > 0 &&
            EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(got)) != 1) {
            return std::nullopt;
        }
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (in.bad() || EVP_DigestFinal_ex(context.get(), digest.data(), &length) != 1) {
        return std::nullopt;
    }
    result.sha256 = hexOf(digest, length);
    return result;
}

std::string sha256Hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int length = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), digest.data(), &length, EVP_sha256(), nullptr) !=
        1) {
        return {};
    }
    return hexOf(digest, length);
}

}  // namespace yhz
