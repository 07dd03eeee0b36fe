#include "support/signing_key.h"

#include <openssl/pem.h>

#include <cstdio>
#include <memory>
#include <stdexcept>

#include "service_client/package_offer.h"

namespace yhz::test {
namespace {

std::string hex(const unsigned char* bytes, std::size_t n) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    for (std::size_t k = 0; k < n; ++k) {
        out += kDigits[bytes[k] >> 4];
        out += kDigits[bytes[k] & 0x0F];
    }
    return out;
}

}  // namespace

SigningKey::SigningKey() : key_(EVP_PKEY_Q_keygen(nullptr, nullptr, "ED25519")) {
    if (key_ == nullptr) {
        throw std::runtime_error("no Ed25519 key");
    }
}

SigningKey::~SigningKey() {
    EVP_PKEY_free(key_);
}

std::string SigningKey::publicHex() const {
    unsigned char raw[32];
    std::size_t length = sizeof raw;
    EVP_PKEY_get_raw_public_key(key_, raw, &length);
    return hex(raw, length);
}

std::string SigningKey::sign(std::string_view text) const {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    unsigned char signature[64];
    std::size_t length = sizeof signature;
    const bool ok =
        EVP_DigestSignInit(context, nullptr, nullptr, nullptr, key_) == 1 &&
        EVP_DigestSign(context, signature, &length,
                       reinterpret_cast<const unsigned char*>(text.data()), text.size()) == 1;
    EVP_MD_CTX_free(context);
    if (!ok) {
        throw std::runtime_error("signing failed");
    }
    unsigned char encoded[128];
    const int n = EVP_EncodeBlock(encoded, signature, static_cast<int>(length));
    return std::string(reinterpret_cast<char*>(encoded), static_cast<std::size_t>(n));
}

void SigningKey::writePem(const std::string& path) const {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (file == nullptr ||
        PEM_write_PrivateKey(file, key_, nullptr, nullptr, 0, nullptr, nullptr) != 1) {
        throw std::runtime_error("cannot write the key");
    }
    std::fclose(file);
}

void SigningKey::signOffer(ServiceInfo& info, std::string_view packageBytes) const {
    info.packageSize = std::to_string(packageBytes.size());
    info.packageSha256 = sha256Hex(packageBytes);
    info.packageSignature =
        sign(packageStatement(info.packageName, info.latestVersion,
                              static_cast<std::int64_t>(packageBytes.size()), info.packageSha256));
}

std::string sha256Hex(std::string_view bytes) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest, &length, EVP_sha256(), nullptr);
    return hex(digest, length);
}

}  // namespace yhz::test
