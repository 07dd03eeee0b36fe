#pragma once
// The publisher's half of a signed update: the service signs, with a private
// key it is given, the statement the program checks before it downloads a
// package (package_signing/package_statement.h).

#include <openssl/types.h>

#include <memory>
#include <string>
#include <string_view>

namespace yhz::service {

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
