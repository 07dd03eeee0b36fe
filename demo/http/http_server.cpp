#include "demo/http/http_server.h"

#include <netdb.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include "demo/http/http_server_impl.h"

namespace yhz::web {

namespace {
// How long stop() waits for handlers that are running.
constexpr std::chrono::milliseconds kStopBound{1500};
}  // namespace

bool HttpServer::Impl::listenOn(const std::string& address, int wanted) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(wanted);
    if (getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found) !=
        0) {
        return false;
    }
    for (addrinfo* ai = found; ai && listenFd < 0; ai = ai->ai_next) {
        int fd = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          ai->ai_protocol);
        if (fd < 0)
            continue;
        // No SO_REUSEPORT: a second copy of a server must fail to start
        // instead of silently taking half the clients.
        int yes = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, ai->ai_addr, ai->ai_addrlen) == 0 && ::listen(fd, SOMAXCONN) == 0) {
            listenFd = fd;
        } else {
            ::close(fd);
        }
    }
    freeaddrinfo(found);
    if (listenFd < 0)
        return false;
    sockaddr_storage bound{};
    socklen_t length = sizeof bound;
    getsockname(listenFd, reinterpret_cast<sockaddr*>(&bound), &length);
    numericHost(reinterpret_cast<sockaddr*>(&bound), length, &port);
    return port > 0;
}

void HttpServer::Impl::handle(Connection& c) {
    RequestStream stream(std::move(c.request), c.transport, c.peer, limits.writeStall, stopping);
    const bool last = c.served + 1 >= limits.keepAliveRequests;
    bool closed = false;
    bool ok = false;
    try {
        ok = dispatcher.serve(stream, last, closed);
    } catch (...) {
        ok = false;
    }
    ok = stream.flush() && ok;
    ++c.served;
    {
        std::lock_guard lock(returnedMutex);
        returned.emplace_back(&c, ok && !closed && !last);
    }
    wake();
}

void HttpServer::Impl::handlerLoop(std::stop_token token) {
    while (true) {
        Connection* c = nullptr;
        {
            std::unique_lock lock(jobsMutex);
            jobReady.wait(lock, token, [&] { return !jobs.empty() || stopping; });
            if (stopping || token.stop_requested())
                return;
            c = jobs.front();
            jobs.pop_front();
        }
        handle(*c);
    }
}

HttpServer::HttpServer(Limits limits, std::shared_ptr<TlsContext> tls)
    : impl_(std::make_unique<Impl>(limits, std::move(tls))) {}

HttpServer::~HttpServer() {
    stop();
}

httplib::Server& HttpServer::routes() {
    return impl_->dispatcher;
}

void HttpServer::setErrorPage(ErrorPage page) {
    impl_->setErrorPage(std::move(page));
}

int HttpServer::start(const std::string& address, int port,
                      const std::function<void(int port)>& bound) {
    Impl& d = *impl_;
    if (d.started || !d.listenOn(address, port))
        return -1;
    d.started = true;
    d.dispatcher.serving(d.listenFd);
    if (bound)
        bound(d.port);
    d.epollFd = epoll_create1(EPOLL_CLOEXEC);
    d.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    for (int fd : {d.listenFd, d.wakeFd}) {
        epoll_event event{};
        event.events = EPOLLIN;
        event.data.fd = fd;
        epoll_ctl(d.epollFd, EPOLL_CTL_ADD, fd, &event);
    }
    const std::size_t handlers = d.limits.threads == 0 ? 1 : d.limits.threads;
    for (std::size_t i = 0; i < handlers; ++i) {
        d.threads.start("request handler",
                        [&d](std::stop_token token) { d.handlerLoop(std::move(token)); });
    }
    d.threads.start("connection reader",
                    [&d](std::stop_token token) { d.readLoop(std::move(token)); });
    return d.port;
}

bool HttpServer::stop() {
    Impl& d = *impl_;
    if (!d.started || d.stopped)
        return true;
    d.stopped = true;
    d.stopping = true;
    d.dispatcher.stopping();
    d.wake();
    { std::lock_guard lock(d.jobsMutex); }
    d.jobReady.notify_all();
    const ShutdownReport report = d.threads.shutdown(kStopBound);
    if (!report.clean())
        return false;
    // Every thread has ended: what they held is this thread's now.
    d.connections.clear();
    d.jobs.clear();
    d.returned.clear();
    for (int fd : {d.listenFd, d.epollFd, d.wakeFd}) {
        if (fd >= 0)
            ::close(fd);
    }
    d.listenFd = d.epollFd = d.wakeFd = -1;
    return true;
}

int HttpServer::port() const {
    return impl_->port;
}

}  // namespace yhz::web
