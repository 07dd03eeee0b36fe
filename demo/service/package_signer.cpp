#include "demo/service/package_signer.h"

#include <openssl/evp.h>
#include <openssl/pem.h>

#include <cstdio>

#include "package_signing/ed25519.h"

namespace yhz::service {

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
    return signEd25519(key_, text);
}

}  // namespace yhz::service
