// The reading thread of the demo servers' HTTP server: it accepts, reads
// every connection without blocking, bounds and times each request, refuses
// what it must unread, and hands complete requests to the handler threads.
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>

#include "demo/http/http_server_impl.h"

namespace yhz::web {

namespace {

constexpr std::uint32_t kIn = EPOLLIN;
constexpr std::uint32_t kOut = EPOLLOUT;

// A refused request's client gets this long to read the reply; then what it
// still sends is read and dropped for as long again, so that the reply is
// not lost to a reset.
constexpr std::chrono::milliseconds kLinger{1000};
constexpr std::size_t kMaxDrained = 1024 * 1024;
// Deadlines are looked at this often at least.
constexpr std::chrono::milliseconds kSweep{100};

const char* reason(int status) {
    switch (status) {
        case 400:
            return "Bad Request";
        case 408:
            return "Request Timeout";
        case 411:
            return "Length Required";
        case 413:
            return "Payload Too Large";
        case 414:
            return "URI Too Long";
        case 415:
            return "Unsupported Media Type";
        case 431:
            return "Request Header Fields Too Large";
        default:
            return "Error";
    }
}

}  // namespace

std::string numericHost(const sockaddr* address, socklen_t length, int* port) {
    char host[NI_MAXHOST] = "";
    char service[NI_MAXSERV] = "";
    if (getnameinfo(address, length, host, sizeof host, service, sizeof service,
                    NI_NUMERICHOST | NI_NUMERICSERV) != 0) {
        return {};
    }
    *port = std::atoi(service);
    return host;
}

void HttpServer::Impl::watch(Connection& c, std::uint32_t events) {
    if (c.watched == events)
        return;
    epoll_event event{};
    event.events = events;
    event.data.fd = c.transport.fd();
    if (events == 0) {
        epoll_ctl(epollFd, EPOLL_CTL_DEL, c.transport.fd(), nullptr);
    } else {
        epoll_ctl(epollFd, c.watched == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, c.transport.fd(),
                  &event);
    }
    c.watched = events;
}

void HttpServer::Impl::close(Connection& c) {
    if (c.closed)
        return;
    c.closed = true;
    watch(c, 0);
    closedFds.push_back(c.transport.fd());
}

void HttpServer::Impl::bury() {
    for (int fd : closedFds)
        connections.erase(fd);
    closedFds.clear();
}

void HttpServer::Impl::wake() {
    const std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd, &one, sizeof one);
}

void HttpServer::Impl::acceptAll(Clock::time_point now) {
    for (int i = 0; i < 64; ++i) {
        sockaddr_storage remote{};
        socklen_t length = sizeof remote;
        const int fd = ::accept4(listenFd, reinterpret_cast<sockaddr*>(&remote), &length,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;
        // Connections closed in this step still sit in the table until it ends.
        auto open = [&] { return connections.size() - closedFds.size(); };
        if (open() >= limits.maxConnections)
            makeRoom();
        if (open() >= limits.maxConnections) {
            ::close(fd);
            continue;
        }
        // Replies leave in one piece anyway; without this, a piece that
        // still follows waits for the client's delayed acknowledgement.
        int yes = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        auto c = std::make_unique<Connection>(fd, tls, limits.head);
        c->peer.remoteIp =
            numericHost(reinterpret_cast<sockaddr*>(&remote), length, &c->peer.remotePort);
        sockaddr_storage local{};
        socklen_t localLength = sizeof local;
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &localLength);
        c->peer.localIp =
            numericHost(reinterpret_cast<sockaddr*>(&local), localLength, &c->peer.localPort);
        c->state = tls ? Connection::State::Handshake : Connection::State::Reading;
        // The first request's clock runs from the connection: a client that
        // connects and sends nothing holds its slot no longer than one that
        // sends slowly.
        c->deadline = now + limits.requestDeadline;
        Connection& added = *c;
        connections.emplace(fd, std::move(c));
        watch(added, kIn);
        advance(added, kIn, now);
    }
}

// Pushes out the connection that matters least: one already closing, then
// an idle one, then the request that has waited longest to be complete.
void HttpServer::Impl::makeRoom() {
    Connection* victim = nullptr;
    auto rank = [](const Connection& c) {
        switch (c.state) {
            case Connection::State::Lingering:
            case Connection::State::Flushing:
                return 0;
            case Connection::State::Reading:
                return c.started ? 2 : 1;
            case Connection::State::Handshake:
                return 2;
            case Connection::State::Busy:
                return 3;
        }
        return 3;
    };
    for (auto& [fd, c] : connections) {
        if (c->closed || rank(*c) == 3)
            continue;
        if (!victim || rank(*c) < rank(*victim) ||
            (rank(*c) == rank(*victim) && c->deadline < victim->deadline)) {
            victim = c.get();
        }
    }
    if (victim)
        close(*victim);
}

void HttpServer::Impl::advance(Connection& c, std::uint32_t events, Clock::time_point now) {
    if (c.closed)
        return;
    switch (c.state) {
        case Connection::State::Handshake: {
            const Io io = c.transport.handshake();
            if (io == Io::Done) {
                c.state = Connection::State::Reading;
                watch(c, kIn);
                readAvailable(c, now);
            } else if (io == Io::WantRead || io == Io::WantWrite) {
                watch(c, io == Io::WantRead ? kIn : kOut);
            } else {
                close(c);
            }
            return;
        }
        case Connection::State::Reading:
            if (!c.out.empty() && (events & kOut)) {
                flushOut(c, now);
                if (c.closed || c.state != Connection::State::Reading)
                    return;
            }
            readAvailable(c, now);
            return;
        case Connection::State::Flushing:
            flushOut(c, now);
            return;
        case Connection::State::Lingering:
            drain(c);
            return;
        case Connection::State::Busy:
            return;
    }
}

void HttpServer::Impl::readAvailable(Connection& c, Clock::time_point now) {
    if (c.closed)
        return;
    // Enough for one whole request and the start of the next; what is
    // beyond stays with the kernel (or the TLS layer) until this is read.
    const std::size_t cap = limits.head.maxBytes + limits.maxBodyBytes + 1;
    std::array<char, 16 * 1024> buffer;
    std::uint32_t interest = kIn;
    while (!c.peerClosed && c.in.size() < cap) {
        const IoResult got =
            c.transport.read(buffer.data(), std::min(buffer.size(), cap - c.in.size()));
        if (got.state == Io::Done) {
            c.in.append(buffer.data(), got.bytes);
            continue;
        }
        if (got.state == Io::WantRead)
            break;
        if (got.state == Io::WantWrite) {
            interest = kOut;
            break;
        }
        if (got.state == Io::Failed) {
            close(c);
            return;
        }
        c.peerClosed = true;
    }
    if (!c.out.empty())
        interest |= kOut;
    watch(c, interest);
    tryDispatch(c, now);
}

void HttpServer::Impl::tryDispatch(Connection& c, Clock::time_point now) {
    if (!c.head) {
        // Stray line ends between requests are not the start of one.
        if (!c.started) {
            const std::size_t skip = c.in.find_first_not_of("\r\n");
            c.in.erase(0, skip == std::string::npos ? c.in.size() : skip);
            if (!c.in.empty()) {
                c.started = true;
                // A new connection's first request keeps the deadline it got
                // when it was accepted.
                if (c.served > 0)
                    c.deadline = now + limits.requestDeadline;
            }
        }
        const HeadExtent extent = c.scanner.scan(c.in);
        switch (extent.state) {
            case HeadScan::Incomplete:
                if (c.peerClosed)
                    close(c);
                return;
            case HeadScan::TooLarge:
                return refuse(c, 431, {}, now);
            case HeadScan::UriTooLong:
                return refuse(c, 414, {}, now);
            case HeadScan::Complete:
                break;
        }
        std::optional<RequestHead> head = parseHead(std::string_view(c.in).substr(0, extent.size));
        if (!head)
            return refuse(c, 400, {}, now);
        const BodyFraming framing = bodyFraming(*head);
        const std::string path(head->path());
        switch (framing.kind) {
            case Framing::TransferCoded:
                return refuse(c, 411, path, now);
            case Framing::ContentCoded:
                return refuse(c, 415, path, now);
            case Framing::Invalid:
                return refuse(c, 400, path, now);
            case Framing::Length:
                if (framing.length > limits.maxBodyBytes)
                    return refuse(c, 413, path, now);
                break;
            case Framing::NoBody:
                break;
        }
        c.headSize = extent.size;
        c.bodySize = static_cast<std::size_t>(framing.length);
        if (c.bodySize > 0 && expectsContinue(*head) && c.in.size() < c.headSize + c.bodySize) {
            c.out += "HTTP/1.1 100 Continue\r\n\r\n";
            flushOut(c, now);
            if (c.closed)
                return;
        }
        c.head = std::move(head);
    }
    if (c.in.size() < c.headSize + c.bodySize) {
        if (c.peerClosed)
            close(c);
        return;
    }
    c.request = plainHead(*c.head);
    c.request.append(c.in, c.headSize, c.bodySize);
    c.in.erase(0, c.headSize + c.bodySize);
    c.head.reset();
    c.scanner.reset();
    c.started = false;
    c.state = Connection::State::Busy;
    watch(c, 0);
    {
        std::lock_guard lock(jobsMutex);
        jobs.push_back(&c);
    }
    jobReady.notify_one();
}

void HttpServer::Impl::refuse(Connection& c, int status, std::string_view path,
                              Clock::time_point now) {
    httplib::Response res;
    res.status = status;
    errorPage(path, res);
    std::string type = res.get_header_value("Content-Type");
    if (type.empty())
        type = "text/plain; charset=utf-8";
    c.out += "HTTP/1.1 " + std::to_string(status) + " " + reason(status) +
             "\r\nContent-Type: " + type +
             "\r\nContent-Length: " + std::to_string(res.body.size()) +
             "\r\nConnection: close\r\n\r\n" + res.body;
    c.in.clear();
    c.head.reset();
    c.state = Connection::State::Flushing;
    c.deadline = now + kLinger;
    flushOut(c, now);
}

void HttpServer::Impl::flushOut(Connection& c, Clock::time_point now) {
    if (c.closed)
        return;
    while (!c.out.empty()) {
        const IoResult put = c.transport.write(c.out.data(), c.out.size());
        if (put.state == Io::Done) {
            c.out.erase(0, put.bytes);
            continue;
        }
        if (put.state == Io::WantRead || put.state == Io::WantWrite) {
            const std::uint32_t reading = c.state == Connection::State::Reading ? kIn : 0;
            watch(c, reading | (put.state == Io::WantRead ? kIn : kOut));
            return;
        }
        close(c);
        return;
    }
    if (c.state == Connection::State::Flushing) {
        c.transport.finishWriting();
        c.state = Connection::State::Lingering;
        c.deadline = now + kLinger;
        watch(c, kIn);
    } else if (c.state == Connection::State::Reading) {
        watch(c, kIn);
    }
}

void HttpServer::Impl::drain(Connection& c) {
    std::array<char, 16 * 1024> buffer;
    while (c.drained < kMaxDrained) {
        const IoResult got = c.transport.read(buffer.data(), buffer.size());
        if (got.state == Io::WantRead || got.state == Io::WantWrite)
            return;
        if (got.state != Io::Done)
            break;
        c.drained += got.bytes;
    }
    close(c);
}

void HttpServer::Impl::takeReturned(Clock::time_point now) {
    std::uint64_t count = 0;
    [[maybe_unused]] ssize_t n = ::read(wakeFd, &count, sizeof count);
    std::vector<std::pair<Connection*, bool>> back;
    {
        std::lock_guard lock(returnedMutex);
        back.swap(returned);
    }
    for (auto [c, keep] : back) {
        c->state = Connection::State::Reading;
        if (!keep || stopping) {
            close(*c);
            continue;
        }
        c->deadline = now + limits.keepAliveIdle;
        watch(*c, kIn);
        // A pipelined request may wait in the buffer, or inside the TLS
        // layer where epoll does not see it.
        readAvailable(*c, now);
    }
}

void HttpServer::Impl::sweep(Clock::time_point now) {
    std::vector<Connection*> late;
    for (auto& [fd, c] : connections) {
        if (c->state != Connection::State::Busy && now >= c->deadline)
            late.push_back(c.get());
    }
    for (Connection* c : late) {
        if (c->closed)
            continue;
        if (c->state == Connection::State::Reading && c->started && c->out.empty()) {
            refuse(*c, 408, c->head ? std::string(c->head->path()) : std::string(), now);
        } else {
            close(*c);
        }
    }
}

void HttpServer::Impl::readLoop(std::stop_token token) {
    std::array<epoll_event, 64> events;
    Clock::time_point nextSweep = Clock::now() + kSweep;
    while (!stopping && !token.stop_requested()) {
        const int n = epoll_wait(epollFd, events.data(), static_cast<int>(events.size()),
                                 static_cast<int>(kSweep.count()));
        const Clock::time_point now = Clock::now();
        for (int i = 0; i < n; ++i) {
            const int fd = events[static_cast<std::size_t>(i)].data.fd;
            if (fd == listenFd) {
                acceptAll(now);
            } else if (fd == wakeFd) {
                takeReturned(now);
            } else if (auto it = connections.find(fd); it != connections.end()) {
                advance(*it->second, events[static_cast<std::size_t>(i)].events, now);
            }
        }
        if (now >= nextSweep) {
            sweep(now);
            nextSweep = now + kSweep;
        }
        bury();
    }
    // Handler threads still writing to a client give up at once; their
    // connections are closed once those threads have ended.
    for (auto it = connections.begin(); it != connections.end();) {
        if (it->second->state == Connection::State::Busy) {
            it->second->transport.abort();
            ++it;
        } else {
            watch(*it->second, 0);
            it = connections.erase(it);
        }
    }
    closedFds.clear();
}

}  // namespace yhz::web
