#pragma once
// Ed25519 signatures: made with a private key the publisher holds, checked
// with the raw public half the program holds.

#include <openssl/types.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace yhz {

constexpr std::size_t kEd25519KeyBytes = 32;
constexpr std::size_t kEd25519SignatureBytes = 64;

// The signature of `text` with `privateKey`, in base64; "" when signing
// fails.
std::string signEd25519(EVP_PKEY* privateKey, std::string_view text);

// Whether `signature` (raw bytes) is the signature of `text` by the raw
// public key `publicKey`.
bool verifyEd25519(std::string_view publicKey, std::string_view text, std::string_view signature);

}  // namespace yhz
