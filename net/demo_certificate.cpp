#include "net/demo_certificate.h"

#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

#include <memory>

#include "net/http_client.h"
#include "text/gbk_text.h"

namespace yhz {
namespace {

struct X509Free {
    void operator()(X509* x) const { X509_free(x); }
};
struct StoreFree {
    void operator()(X509_STORE* s) const { X509_STORE_free(s); }
};
struct ContextFree {
    void operator()(X509_STORE_CTX* c) const { X509_STORE_CTX_free(c); }
};

constexpr std::string_view kDemoSuffix = ".localhost";

}  // namespace

bool isDemoHost(std::string_view host) {
    const std::string lower = toLowerAscii(host);
    if (lower == "localhost") {
        return true;
    }
    return lower.size() > kDemoSuffix.size() &&
           lower.compare(lower.size() - kDemoSuffix.size(), kDemoSuffix.size(), kDemoSuffix) == 0 &&
           lower[lower.size() - kDemoSuffix.size() - 1] != '.';
}

bool issuedByAuthorityFor(std::string_view certificateDer, std::string_view host,
                          const std::string& authorityPemPath) {
    if (certificateDer.empty() || host.empty() || authorityPemPath.empty()) {
        return false;
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(certificateDer.data());
    std::unique_ptr<X509, X509Free> leaf(
        d2i_X509(nullptr, &bytes, static_cast<long>(certificateDer.size())));
    std::unique_ptr<X509_STORE, StoreFree> store(X509_STORE_new());
    std::unique_ptr<X509_STORE_CTX, ContextFree> context(X509_STORE_CTX_new());
    if (!leaf || !store || !context ||
        X509_STORE_load_file(store.get(), authorityPemPath.c_str()) != 1 ||
        X509_STORE_CTX_init(context.get(), store.get(), leaf.get(), nullptr) != 1) {
        return false;
    }
    X509_VERIFY_PARAM* param = X509_STORE_CTX_get0_param(context.get());
    X509_VERIFY_PARAM_set_hostflags(param, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
    if (X509_VERIFY_PARAM_set1_host(param, host.data(), host.size()) != 1 ||
        X509_VERIFY_PARAM_set_purpose(param, X509_PURPOSE_SSL_SERVER) != 1) {
        return false;
    }
    return X509_verify_cert(context.get()) == 1;
}

bool acceptDemoCertificate(std::string_view certificateDer, std::string_view host) {
    return isDemoHost(host) && issuedByAuthorityFor(certificateDer, host, HttpClient::caBundle());
}

}  // namespace yhz
