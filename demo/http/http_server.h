#pragma once
// The HTTP engine both demo programs run on: Boost.Beast over Boost.Asio,
// plain or TLS. A few threads read and write every connection without ever
// waiting on a client; complete, bounded requests go to a pool of handler
// threads, and each reply goes back to the connection to be written
// asynchronously. So a slow client costs a connection slot, never a thread,
// whether it sends its request slowly or reads its reply slowly.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "demo/http/router.h"

namespace yhz::web {

struct Limits {
    std::size_t threads = 16;   // handlers running at once
    std::size_t ioThreads = 2;  // threads that read and write the connections
    // Open connections. At the limit a new one pushes out the one that has
    // waited longest without sending a complete request.
    std::size_t maxConnections = 512;
    // From one client address (IPv6 by its /64, every 127.x.y.z as one, as
    // the rates count them): a connection beyond this is closed as soon as
    // it is accepted, so no one address can take the table. The program
    // itself keeps a handful.
    std::size_t maxConnectionsPerAddress = 128;
    // Replies of at least `largeReplyBytes` being written at once, per
    // address and in all; beyond either the request is answered 503 with
    // Retry-After. A client that stops reading one holds its slot and a
    // descriptor (two with its file) until the reply deadline, so these keep
    // the rest of the table, and of the descriptors, for small requests.
    std::uint64_t largeReplyBytes = 256 * 1024;
    std::size_t maxLargeRepliesPerAddress = 4;
    std::size_t maxLargeReplies = 128;
    std::size_t maxHeadBytes = 16 * 1024;  // request line, header lines and the empty line
    std::size_t maxHeaderLines = 100;
    std::size_t maxLineBytes = 8192;  // any one line, the request line included
    std::size_t maxBodyBytes = 8192;  // by Content-Length only
    // For the whole request, head and body (and the TLS handshake of a new
    // connection), from its first byte; not per read.
    std::chrono::milliseconds requestDeadline{10000};
    // Between requests on a kept-alive connection.
    std::chrono::milliseconds keepAliveIdle{2000};
    std::size_t keepAliveRequests = 50;
    // For the whole reply: this long, and a second more for every
    // `replyBytesPerSecond` bytes of its body, so that a large download at
    // a modest rate finishes and a client that stops reading does not hold
    // its connection for ever.
    std::chrono::milliseconds replyDeadline{10000};
    std::size_t replyBytesPerSecond = 64 * 1024;
    // How long stop() waits for handlers that are running.
    std::chrono::milliseconds stopBound{1500};
};

// A server certificate and key, loaded once and shared by every connection.
class TlsContext {
public:
    // nullptr and a message in `error` when the files cannot be used.
    static std::shared_ptr<TlsContext> load(const std::string& certificatePath,
                                            const std::string& keyPath, std::string* error);
    ~TlsContext();
    TlsContext(const TlsContext&) = delete;
    TlsContext& operator=(const TlsContext&) = delete;

    struct Impl;
    Impl& impl() { return *impl_; }

private:
    explicit TlsContext(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

class HttpServer {
public:
    // Plain HTTP, or HTTPS when `tls` is given.
    explicit HttpServer(Limits limits, std::shared_ptr<TlsContext> tls = nullptr);
    // Stops, and then waits for any handler that outlived stop()'s bound:
    // nothing a handler may still touch is freed while it runs.
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Where the handlers go; set before start().
    Router& routes();

    // Binds (port 0: any free port) and starts serving. `bound` runs with the
    // port before the first request is read. Returns the port, or -1 when
    // the address cannot be bound.
    int start(const std::string& address, int port,
              const std::function<void(int port)>& bound = {});
    // Stops accepting, ends every connection whatever its client does and
    // joins every thread. False when a handler did not end within the bound
    // (its thread is left running, and everything it uses stays). Safe to
    // call more than once.
    bool stop();
    int port() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace yhz::web
