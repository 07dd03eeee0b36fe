#pragma once
// The publisher's half of a signed update: the service signs, with a private
// key it is given, the statement the program checks before it downloads a
// package (name, version, size and SHA-256, one line each). The statement's
// form is part of the wire format; the program builds the same text.

#include <openssl/evp.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace yhz::service {

struct PackageFacts {
    std::int64_t size = 0;
    std::string sha256;  // 64 lower-case hex digits
};

// The size and digest of the package file; nullopt when it cannot be read.
std::optional<PackageFacts> readPackageFacts(const std::string& path);

// name, version (UTF-8), size and digest, as signed.
std::string packageStatement(std::string_view name, std::string_view version,
                             const PackageFacts& facts);

class PackageSigner {
public:
    // An Ed25519 private key in PEM; nullptr and a message in `error` when
    // the file holds none.
    static std::unique_ptr<PackageSigner> load(const std::string& pemPath, std::string* error);
    ~PackageSigner();
    PackageSigner(const PackageSigner&) = delete;
    PackageSigner& operator=(const PackageSigner&) = delete;

    // The signature of `text`, in base64; "" when signing fails.
    std::string sign(std::string_view text) const;

private:
    explicit PackageSigner(EVP_PKEY* key) : key_(key) {}
    EVP_PKEY* key_;
};

}  // namespace yhz::service
