#include "demo/http/tls_context.h"

#include <openssl/ssl.h>

namespace yhz::web {

std::shared_ptr<TlsContext> TlsContext::load(const std::string& certificatePath,
                                             const std::string& keyPath, std::string* error) {
    auto impl = std::make_unique<Impl>();
    SSL_CTX* ctx = impl->context.native_handle();
    // TLS 1.2 and 1.3 only; no compression, no renegotiation.
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(
        ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    boost::system::error_code ec;
    impl->context.use_certificate_chain_file(certificatePath, ec);
    if (!ec)
        impl->context.use_private_key_file(keyPath, boost::asio::ssl::context::pem, ec);
    if (ec || SSL_CTX_check_private_key(ctx) != 1) {
        if (error)
            *error = "cannot load the certificate " + certificatePath + " or the key " + keyPath;
        return nullptr;
    }
    return std::shared_ptr<TlsContext>(new TlsContext(std::move(impl)));
}

TlsContext::TlsContext(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

TlsContext::~TlsContext() = default;

}  // namespace yhz::web
