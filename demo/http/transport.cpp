#include "demo/http/transport.h"

#include <openssl/err.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <climits>

namespace yhz::web {

std::shared_ptr<TlsContext> TlsContext::load(const std::string& certificatePath,
                                             const std::string& keyPath, std::string* error) {
    SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
    auto fail = [&](const std::string& message) -> std::shared_ptr<TlsContext> {
        if (error)
            *error = message;
        SSL_CTX_free(ctx);
        ERR_clear_error();
        return nullptr;
    };
    if (!ctx)
        return fail("cannot make a TLS context");
    SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION);
    SSL_CTX_set_options(
        ctx, SSL_OP_NO_COMPRESSION | SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
    SSL_CTX_set_mode(ctx, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER |
                              SSL_MODE_RELEASE_BUFFERS);
    if (SSL_CTX_use_certificate_chain_file(ctx, certificatePath.c_str()) != 1 ||
        SSL_CTX_use_PrivateKey_file(ctx, keyPath.c_str(), SSL_FILETYPE_PEM) != 1 ||
        SSL_CTX_check_private_key(ctx) != 1) {
        return fail("cannot load the certificate " + certificatePath + " or the key " + keyPath);
    }
    return std::shared_ptr<TlsContext>(new TlsContext(ctx));
}

TlsContext::~TlsContext() {
    SSL_CTX_free(ctx_);
}

Transport::Transport(int fd, std::shared_ptr<TlsContext> tls) : fd_(fd), tls_(std::move(tls)) {
    if (tls_) {
        ssl_ = SSL_new(tls_->get());
        if (ssl_) {
            SSL_set_fd(ssl_, fd_);
            SSL_set_accept_state(ssl_);
        }
    }
}

Transport::~Transport() {
    SSL_free(ssl_);
    ::close(fd_);
}

Io Transport::sslState(int result) {
    switch (SSL_get_error(ssl_, result)) {
        case SSL_ERROR_WANT_READ:
            return Io::WantRead;
        case SSL_ERROR_WANT_WRITE:
            return Io::WantWrite;
        case SSL_ERROR_ZERO_RETURN:
            return Io::Closed;
        case SSL_ERROR_SYSCALL:
            // The queue may hold errors of this connection only; nothing
            // else reads it on this thread.
            ERR_clear_error();
            return errno == EAGAIN || errno == EWOULDBLOCK ? Io::WantRead : Io::Closed;
        default:
            ERR_clear_error();
            return Io::Failed;
    }
}

Io Transport::handshake() {
    if (tls_ && !ssl_)
        return Io::Failed;
    if (!ssl_)
        return Io::Done;
    const int result = SSL_do_handshake(ssl_);
    return result == 1 ? Io::Done : sslState(result);
}

IoResult Transport::read(char* buffer, std::size_t size) {
    if (size > INT_MAX)
        size = INT_MAX;
    if (ssl_) {
        std::size_t got = 0;
        const int result = SSL_read_ex(ssl_, buffer, size, &got);
        if (result == 1)
            return {Io::Done, got};
        return {sslState(result), 0};
    }
    const ssize_t got = ::recv(fd_, buffer, size, 0);
    if (got > 0)
        return {Io::Done, static_cast<std::size_t>(got)};
    if (got == 0)
        return {Io::Closed, 0};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {Io::WantRead, 0};
    return {Io::Failed, 0};
}

IoResult Transport::write(const char* data, std::size_t size) {
    if (size > INT_MAX)
        size = INT_MAX;
    if (ssl_) {
        std::size_t put = 0;
        const int result = SSL_write_ex(ssl_, data, size, &put);
        if (result == 1)
            return {Io::Done, put};
        return {sslState(result), 0};
    }
    const ssize_t put = ::send(fd_, data, size, MSG_NOSIGNAL);
    if (put >= 0)
        return {Io::Done, static_cast<std::size_t>(put)};
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
        return {Io::WantWrite, 0};
    return {Io::Failed, 0};
}

void Transport::finishWriting() {
    if (ssl_ && SSL_is_init_finished(ssl_)) {
        SSL_shutdown(ssl_);
        ERR_clear_error();
    }
    ::shutdown(fd_, SHUT_WR);
}

void Transport::abort() {
    ::shutdown(fd_, SHUT_RDWR);
}

}  // namespace yhz::web
