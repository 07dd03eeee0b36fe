#include "package_signing/ed25519.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace yhz {
namespace {

struct KeyFree {
    void operator()(EVP_PKEY* k) const { EVP_PKEY_free(k); }
};
struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

const unsigned char* bytes(std::string_view text) {
    return reinterpret_cast<const unsigned char*>(text.data());
}

}  // namespace

std::string signEd25519(EVP_PKEY* privateKey, std::string_view text) {
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    std::array<unsigned char, kEd25519SignatureBytes> signature{};
    std::size_t length = signature.size();
    if (!context || EVP_DigestSignInit(context.get(), nullptr, nullptr, nullptr, privateKey) != 1 ||
        EVP_DigestSign(context.get(), signature.data(), &length, bytes(text), text.size()) != 1) {
        return {};
    }
    std::array<unsigned char, 4 * ((kEd25519SignatureBytes + 2) / 3) + 1> encoded{};
    const int n = EVP_EncodeBlock(encoded.data(), signature.data(), static_cast<int>(length));
    return std::string(reinterpret_cast<const char*>(encoded.data()), static_cast<std::size_t>(n));
}

bool verifyEd25519(std::string_view publicKey, std::string_view text, std::string_view signature) {
    const std::unique_ptr<EVP_PKEY, KeyFree> key(
        EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, bytes(publicKey), publicKey.size()));
    const std::unique_ptr<EVP_MD_CTX, ContextFree> context(EVP_MD_CTX_new());
    if (!key || !context ||
        EVP_DigestVerifyInit(context.get(), nullptr, nullptr, nullptr, key.get()) != 1) {
        return false;
    }
    return EVP_DigestVerify(context.get(), bytes(signature), signature.size(), bytes(text),
                            text.size()) == 1;
}

}  // namespace yhz
