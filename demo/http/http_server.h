#pragma once
// The HTTP server both demo programs run on. cpp-httplib 0.11 (Debian 12)
// routes the requests and writes the replies; reading requests is done here,
// because that library bounds neither the header section as a whole nor the
// time a client may take to send it, reads a chunked body whole before it
// looks at its size, and gives every connection a thread of its own for as
// long as the client keeps it open.
//
// One thread reads every connection without blocking. It bounds each
// request's head and body and the time they take, refuses what is too large
// before reading it, and hands only complete requests to a pool of threads
// that run the handlers. A slow client costs a connection slot, never a
// thread.

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "demo/http/request_head.h"
#include "demo/http/transport.h"

namespace httplib {
class Server;
struct Response;
}  // namespace httplib

namespace yhz::web {

struct Limits {
    std::size_t threads = 16;  // handlers running at once
    // Open connections. At the limit a new one pushes out the one that has
    // waited longest without sending a complete request.
    std::size_t maxConnections = 512;
    HeadLimits head;
    std::size_t maxBodyBytes = 8192;
    // For the whole request, head and body (and the TLS handshake of a new
    // connection), from its first byte; not per read.
    std::chrono::milliseconds requestDeadline{10000};
    // Between requests on a kept-alive connection.
    std::chrono::milliseconds keepAliveIdle{2000};
    std::size_t keepAliveRequests = 50;
    // A reply write that makes no progress for this long ends the connection.
    std::chrono::milliseconds writeStall{5000};
};

// Fills the body of an error reply whose status is already set. The server
// uses it for its handlers' errors and for the requests its front refuses
// unread, so that both look the same to a client.
using ErrorPage = std::function<void(std::string_view path, httplib::Response& res)>;

class HttpServer {
public:
    // Plain HTTP, or HTTPS when `tls` is given.
    explicit HttpServer(Limits limits, std::shared_ptr<TlsContext> tls = nullptr);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    // Where the handlers go (routes, pre-routing handler). A Range header
    // reaches the handlers but is not applied for them: a handler that
    // serves ranges reads the header itself.
    httplib::Server& routes();
    void setErrorPage(ErrorPage page);

    // Binds (port 0: any free port) and starts serving. `bound` runs with the
    // port before the first request is read. Returns the port, or -1 when
    // the address cannot be bound.
    int start(const std::string& address, int port,
              const std::function<void(int port)>& bound = {});
    // Stops accepting, ends every connection whatever its client does and
    // joins every thread. False when a handler did not end within the bound
    // (its thread is left running). Safe to call more than once.
    bool stop();
    int port() const;

    struct Impl;

private:
    std::unique_ptr<Impl> impl_;
};

}  // namespace yhz::web
