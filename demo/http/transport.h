#pragma once
// The bytes of one accepted connection: the socket itself, or a TLS session
// over it. Every call is non-blocking and says what it waits for.

#include <openssl/ssl.h>

#include <cstddef>
#include <memory>
#include <string>

namespace yhz::web {

// A server certificate and key, loaded once and shared by every connection.
class TlsContext {
public:
    // nullptr and a message in `error` when the files cannot be used.
    static std::shared_ptr<TlsContext> load(const std::string& certificatePath,
                                            const std::string& keyPath, std::string* error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;
    SSL_CTX* get() const { return ctx_; }

private:
    explicit TlsContext(SSL_CTX* ctx) : ctx_(ctx) {}
    SSL_CTX* ctx_;
};

enum class Io { Done, WantRead, WantWrite, Closed, Failed };

struct IoResult {
    Io state = Io::Failed;
    std::size_t bytes = 0;
};

class Transport {
public:
    // Takes the socket (non-blocking) and closes it when destroyed.
    Transport(int fd, std::shared_ptr<TlsContext> tls);
    ~Transport();
    Transport(const Transport&) = delete;
    Transport& operator=(const Transport&) = delete;

    // Done at once without TLS.
    Io handshake();
    IoResult read(char* buffer, std::size_t size);
    // A write that waited (WantRead, WantWrite) must be repeated with the
    // same bytes first.
    IoResult write(const char* data, std::size_t size);
    // Says goodbye (TLS close_notify, then the socket's write side), without
    // waiting for anything.
    void finishWriting();
    // Makes every blocked or later call on the socket fail at once, from any
    // thread; the socket stays open until the transport is destroyed.
    void abort();
    int fd() const { return fd_; }
    bool secure() const { return ssl_ != nullptr; }

private:
    Io sslState(int result);

    int fd_;
    std::shared_ptr<TlsContext> tls_;
    SSL* ssl_ = nullptr;
};

}  // namespace yhz::web
