#include "support/signing_key.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdint>
#include <cstdio>
#include <stdexcept>

#include "package_signing/ed25519.h"
#include "package_signing/hex.h"
#include "package_signing/package_statement.h"
#include "text/encoding.h"

namespace yhz::test {

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
    return lowerHex(std::string_view(reinterpret_cast<const char*>(raw), length));
}

std::string SigningKey::sign(std::string_view text) const {
    std::string signature = signEd25519(key_, text);
    if (signature.empty()) {
        throw std::runtime_error("signing failed");
    }
    return signature;
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
        sign(packageStatement(localToUtf8(info.packageName), localToUtf8(info.latestVersion),
                              static_cast<std::int64_t>(packageBytes.size()), info.packageSha256));
}

}  // namespace yhz::test
