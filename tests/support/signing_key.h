#pragma once
// An Ed25519 key pair made for one test, to sign update offers the way the
// publisher does.

#include <openssl/types.h>

#include <string>
#include <string_view>

#include "package_signing/digest.h"
#include "service_client/service_info.h"

namespace yhz::test {

class SigningKey {
public:
    SigningKey();
    ~SigningKey();
    SigningKey(const SigningKey&) = delete;
    SigningKey& operator=(const SigningKey&) = delete;

    // 64 hex digits, as a build's trusted key is given.
    std::string publicHex() const;
    // The signature of `text`, in base64.
    std::string sign(std::string_view text) const;
    // Writes the private key as PEM (for the service's --signing-key).
    void writePem(const std::string& path) const;

    // Fills the offer's size, digest and signature for a package of
    // `packageBytes`, under its name and version as they stand.
    void signOffer(ServiceInfo& info, std::string_view packageBytes) const;

private:
    EVP_PKEY* key_ = nullptr;
};

// SHA-256 of bytes, 64 lower-case hex digits.
using yhz::sha256Hex;

}  // namespace yhz::test
