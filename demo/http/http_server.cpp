#include "demo/http/http_server.h"

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <optional>

#include "base/background_task.h"
#include "demo/http/connection.h"
#include "demo/http/rate_limit.h"

namespace yhz::web {

namespace net = boost::asio;
using tcp = net::ip::tcp;
using boost::system::error_code;

namespace {
// How long stop() lets connections end in order before it stops the threads
// (which ends the rest at once).
constexpr std::chrono::milliseconds kOrderlyClose{200};
// After a failed accept (out of descriptors, say), a pause before the next.
constexpr std::chrono::milliseconds kAcceptPause{50};
}  // namespace

struct HttpServer::Impl {
    Impl(Limits limits, std::shared_ptr<TlsContext> tls) : core(limits, std::move(tls)) {}

    bool listen(const std::string& address, int wanted);
    void accept();

    Core core;
    std::optional<net::strand<net::io_context::executor_type>> strand;
    std::optional<tcp::acceptor> acceptor;
    std::optional<net::steady_timer> pause;
    int port = -1;
    bool started = false;
    bool stopped = false;
    bool clean = true;
    // Declared last, so destroyed first: its destructor joins every thread
    // (a handler that outlived stop() included) before anything a thread
    // may still use is freed.
    BackgroundTaskOwner threads;
};

bool HttpServer::Impl::listen(const std::string& address, int wanted) {
    strand.emplace(net::make_strand(*core.io));
    acceptor.emplace(*strand);
    pause.emplace(*strand);
    error_code ec;
    tcp::resolver resolver(*core.io);
    const auto found =
        resolver.resolve(address, std::to_string(wanted),
                         tcp::resolver::passive | tcp::resolver::numeric_service, ec);
    if (ec)
        return false;
    for (const auto& entry : found) {
        acceptor->open(entry.endpoint().protocol(), ec);
        if (ec)
            continue;
        // No SO_REUSEPORT: a second copy of a server must fail to start
        // instead of silently taking half the clients.
        acceptor->set_option(tcp::acceptor::reuse_address(true), ec);
        acceptor->bind(entry.endpoint(), ec);
        if (!ec)
            acceptor->listen(net::socket_base::max_listen_connections, ec);
        if (!ec) {
            port = acceptor->local_endpoint(ec).port();
            return !ec && port > 0;
        }
        error_code ignored;
        acceptor->close(ignored);
    }
    return false;
}

void HttpServer::Impl::accept() {
    acceptor->async_accept(net::make_strand(*core.io), [this](error_code ec, tcp::socket socket) {
        if (ec == net::error::operation_aborted || !acceptor->is_open())
            return;
        if (ec) {
            pause->expires_after(kAcceptPause);
            pause->async_wait([this](error_code e) {
                if (!e)
                    accept();
            });
            return;
        }
        error_code unknown;
        const tcp::endpoint from = socket.remote_endpoint(unknown);
        std::string remote = unknown ? std::string() : from.address().to_string();
        std::string client = rateKey(remote);
        // A connection turned away is closed here, unread: refusing costs
        // no more than accepting.
        if (!core.stopping && core.table.admit(client))
            serveConnection(core, std::move(socket), std::move(remote), std::move(client));
        accept();
    });
}

HttpServer::HttpServer(Limits limits, std::shared_ptr<TlsContext> tls)
    : impl_(std::make_unique<Impl>(limits, std::move(tls))) {}

HttpServer::~HttpServer() {
    stop();
}

Router& HttpServer::routes() {
    return impl_->core.router;
}

int HttpServer::start(const std::string& address, int port,
                      const std::function<void(int port)>& bound) {
    Impl& d = *impl_;
    if (d.started || !d.listen(address, port))
        return -1;
    d.started = true;
    if (bound)
        bound(d.port);
    d.accept();
    auto runner = [](net::io_context& context) {
        return [&context](std::stop_token) {
            auto guard = net::make_work_guard(context);
            context.run();
        };
    };
    for (std::size_t i = 0; i < std::max<std::size_t>(d.core.limits.threads, 1); ++i)
        d.threads.start("request handler", runner(*d.core.work));
    for (std::size_t i = 0; i < std::max<std::size_t>(d.core.limits.ioThreads, 1); ++i)
        d.threads.start("connection i/o", runner(*d.core.io));
    return d.port;
}

bool HttpServer::stop() {
    Impl& d = *impl_;
    if (!d.started || d.stopped)
        return d.clean;
    d.stopped = true;
    d.core.stopping = true;
    net::post(*d.strand, [&d] {
        error_code ignored;
        d.acceptor->close(ignored);
        d.pause->cancel();
    });
    d.core.table.closeAll(std::min(kOrderlyClose, d.core.limits.stopBound));
    d.core.work->stop();
    d.core.io->stop();
    d.clean = d.threads.shutdown(d.core.limits.stopBound).clean();
    if (!d.clean)
        return false;
    // Every thread has ended: what is left is this thread's to free, the
    // queued handlers (and the connections they hold) before the
    // connections' own context.
    d.core.work.reset();
    d.pause.reset();
    d.acceptor.reset();
    d.strand.reset();
    d.core.io.reset();
    return true;
}

int HttpServer::port() const {
    return impl_->port;
}

}  // namespace yhz::web
