#include "demo/service/package_signer.h"

#include <openssl/pem.h>

#include <array>
#include <cstdio>
#include <fstream>

namespace yhz::service {
namespace {

std::string lowerHex(const unsigned char* bytes, std::size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t k = 0; k < n; ++k) {
        out += kDigits[bytes[k] >> 4];
        out += kDigits[bytes[k] & 0x0F];
    }
    return out;
}

}  // namespace

std::optional<PackageFacts> readPackageFacts(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    if (!in || !context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        return std::nullopt;
    }
    PackageFacts facts;
    std::array<char, 64 * 1024> buffer{};
    while (in) {
        in.read(buffer.data(), buffer.size());
        const std::streamsize got = in.gcount();
        facts.size += got;
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
    facts.sha256 = lowerHex(digest.data(), length);
    return facts;
}

std::string packageStatement(std::string_view name, std::string_view version,
                             const PackageFacts& facts) {
    return "yunhaizhou update package\nname=" + std::string(name) +
           "\nversion=" + std::string(version) + "\nsize=" + std::to_string(facts.size) +
           "\nsha256=" + facts.sha256 + "\n";
}

std::unique_ptr<PackageSigner> PackageSigner::load(const std::string& pemPath, std::string* error) {
    std::FILE* file = std::fopen(pemPath.c_str(), "r");
    EVP_PKEY* key =
        file == nullptr ? nullptr : PEM_read_PrivateKey(file, nullptr, nullptr, nullptr);
    if (file != nullptr) {
        std::fclose(file);
    }
    if (key == nullptr || EVP_PKEY_get_id(key) != EVP_PKEY_ED25519) {
        EVP_PKEY_free(key);
        if (error != nullptr) {
            *error = "no Ed25519 private key in " + pemPath;
        }
        return nullptr;
    }
    return std::unique_ptr<PackageSigner>(new PackageSigner(key));
}

PackageSigner::~PackageSigner() {
    EVP_PKEY_free(key_);
}

std::string PackageSigner::sign(std::string_view text) const {
    const std::unique_ptr<EVP_MD_CTX, decltype(&EVP_MD_CTX_free)> context(EVP_MD_CTX_new(),
                                                                          &EVP_MD_CTX_free);
    std::array<unsigned char, 64> signature{};
    std::size_t length = signature.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, key_) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &length,
                       reinterpret_cast<const unsigned char*>(text.data()), text.size()) != 1) {
        return {};
    }
    std::array<unsigned char, 96> encoded{};
    const int n = EVP_EncodeBlock(encoded.data(), signature.data(), static_cast<int>(length));
    return std::string(reinterpret_cast<const char*>(encoded.data()), static_cast<std::size_t>(n));
}

}  // namespace yhz::service
