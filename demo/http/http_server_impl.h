#pragma once
// Inside the demo servers' HTTP server: the connections, the thread that
// reads them all and the threads that run the handlers. Only
// http_server.cpp and connection_reader.cpp include this.

#include <httplib.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "base/background_task.h"
#include "demo/http/http_server.h"
#include "demo/http/request_head.h"
#include "demo/http/request_stream.h"
#include "demo/http/transport.h"

namespace yhz::web {

using Clock = std::chrono::steady_clock;

// Exposes the library's request processing, which reads a request from any
// stream: here, one the front has already read whole.
class Dispatcher : public httplib::Server {
public:
    bool serve(httplib::Stream& stream, bool lastOnConnection, bool& connectionClosed) {
        return process_request(stream, lastOnConnection, connectionClosed,
                               [](httplib::Request& req) { req.ranges.clear(); });
    }
    // The library takes a server without a listening socket for one that is
    // shutting down, and then streams no content.
    void serving(int listenFd) { svr_sock_ = listenFd; }
    void stopping() { svr_sock_ = INVALID_SOCKET; }
};

// The numeric address and port of a socket address; empty when unreadable.
std::string numericHost(const sockaddr* address, socklen_t length, int* port);

struct Connection {
    enum class State { Handshake, Reading, Busy, Flushing, Lingering };

    Connection(int fd, std::shared_ptr<TlsContext> tls, const HeadLimits& limits)
        : transport(fd, std::move(tls)), scanner(limits) {}

    Transport transport;
    Peer peer;
    State state = State::Reading;
    std::string in;
    HeadScanner scanner;
    std::optional<RequestHead> head;
    std::size_t headSize = 0;
    std::size_t bodySize = 0;
    bool started = false;     // a byte of the current request has arrived
    bool peerClosed = false;  // the client will send nothing more
    Clock::time_point deadline;
    std::string out;  // written by the reading thread: "100 Continue", refusals
    std::size_t drained = 0;
    std::size_t served = 0;
    std::uint32_t watched = 0;  // the events asked of epoll; 0: not registered
    bool closed = false;        // gone once the reading thread's step ends
    std::string request;        // a complete request, for a handler thread
};

struct HttpServer::Impl {
    Limits limits;
    std::shared_ptr<TlsContext> tls;
    Dispatcher dispatcher;
    ErrorPage errorPage;

    int listenFd = -1;
    int epollFd = -1;
    int wakeFd = -1;
    int port = -1;
    std::atomic<bool> stopping{false};
    bool started = false;
    bool stopped = false;
    BackgroundTaskOwner threads;

    // Owned and touched by the reading thread only, except that a Busy
    // connection belongs to the handler thread that took it.
    std::unordered_map<int, std::unique_ptr<Connection>> connections;
    // Closed during the current step; destroyed when it ends, so that no
    // step is left holding a connection that is gone.
    std::vector<int> closedFds;

    std::mutex jobsMutex;
    std::condition_variable_any jobReady;
    std::deque<Connection*> jobs;

    std::mutex returnedMutex;
    std::vector<std::pair<Connection*, bool>> returned;  // connection, keep it open

    Impl(Limits l, std::shared_ptr<TlsContext> t) : limits(l), tls(std::move(t)) {
        dispatcher.set_payload_max_length(limits.maxBodyBytes);
        dispatcher.set_keep_alive_timeout(
            std::chrono::duration_cast<std::chrono::seconds>(limits.keepAliveIdle).count());
        dispatcher.set_keep_alive_max_count(limits.keepAliveRequests);
        dispatcher.set_exception_handler(
            [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
                res.status = 500;
                res.set_content("internal error\n", "text/plain; charset=utf-8");
            });
        setErrorPage({});
    }

    void setErrorPage(ErrorPage page) {
        errorPage = page ? std::move(page) : [](std::string_view, httplib::Response& res) {
            res.set_content("error " + std::to_string(res.status) + "\n",
                            "text/plain; charset=utf-8");
        };
        dispatcher.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
            if (res.body.empty())
                errorPage(req.path, res);
        });
    }

    bool listenOn(const std::string& address, int wanted);
    void readLoop(std::stop_token token);
    void handlerLoop(std::stop_token token);
    void handle(Connection& connection);

    // The reading thread's steps.
    void acceptAll(Clock::time_point now);
    void makeRoom();
    void advance(Connection& c, std::uint32_t events, Clock::time_point now);
    void readAvailable(Connection& c, Clock::time_point now);
    void tryDispatch(Connection& c, Clock::time_point now);
    void refuse(Connection& c, int status, std::string_view path, Clock::time_point now);
    void flushOut(Connection& c, Clock::time_point now);
    void drain(Connection& c);
    void takeReturned(Clock::time_point now);
    void sweep(Clock::time_point now);
    void watch(Connection& c, std::uint32_t events);
    void close(Connection& c);
    void bury();
    void wake();
};

}  // namespace yhz::web
