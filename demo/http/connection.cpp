// One connection of the demo programs' HTTP engine, plain or TLS: it reads
// a request within its bounds and its deadline, hands it to a handler
// thread, writes the reply without blocking any thread, and goes on with
// the next request or ends. Everything here runs on the connection's strand.
#include <openssl/ssl.h>
#include <boost/asio/dispatch.hpp>
#include <boost/asio/post.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <boost/beast/core/flat_buffer.hpp>
#include <boost/beast/core/stream_traits.hpp>
#include <boost/beast/core/tcp_stream.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/parser.hpp>
#include <boost/beast/http/read.hpp>
#include <boost/beast/http/write.hpp>
#include <boost/beast/ssl/ssl_stream.hpp>
#include <limits>
#include <type_traits>

#include "demo/http/connection.h"
#include "demo/http/tls_context.h"
#include "demo/http/wire.h"

namespace yhz::web {

namespace net = boost::asio;
namespace beast = boost::beast;
namespace http = beast::http;
using tcp = net::ip::tcp;
using beast::error_code;

namespace {

// A refused or last request's client gets this long to read the reply; what
// it still sends meanwhile is read and dropped (up to a bound), so that the
// reply is not lost to a reset.
constexpr std::chrono::milliseconds kLinger{1000};
constexpr std::size_t kMaxDrained = 1024 * 1024;
constexpr std::size_t kReadPiece = 16 * 1024;
// How long our TLS close_notify may take to leave.
constexpr std::chrono::milliseconds kCloseNotify{250};

using PlainStream = beast::tcp_stream;
using TlsStream = beast::ssl_stream<beast::tcp_stream>;

bool isParseError(const error_code& ec) {
    return ec.category() == make_error_code(http::error::bad_target).category() &&
           ec != http::error::end_of_stream && ec != http::error::partial_message;
}

template <class Stream>
class Session final : public Connection {
public:
    static constexpr bool kTls = std::is_same_v<Stream, TlsStream>;

    Session(Core& core, tcp::socket socket, std::string remote)
        : core_(core),
          stream_(makeStream(core, std::move(socket))),
          timer_(stream_.get_executor()),
          buffer_(core.limits.maxHeadBytes + core.limits.maxBodyBytes + kReadPiece),
          remote_(std::move(remote)) {}

    ~Session() override { core_.table.remove(*this); }

    void run() {
        net::dispatch(stream_.get_executor(), [self = self()] { self->begin(); });
    }

    void close() override {
        net::post(stream_.get_executor(), [self = self()] { self->closeNow(); });
    }

private:
    static Stream makeStream(Core& core, tcp::socket socket) {
        if constexpr (kTls) {
            return Stream(std::move(socket), core.tls->impl().context);
        } else {
            return Stream(std::move(socket));
        }
    }

    std::shared_ptr<Session> self() {
        return std::static_pointer_cast<Session>(shared_from_this());
    }
    beast::tcp_stream& tcp() { return beast::get_lowest_layer(stream_); }

    void enter(Stage next) {
        stage = next;
        since = Clock::now().time_since_epoch().count();
    }

    // The request deadline: a new connection's runs from its acceptance,
    // so that one that never sends holds its slot no longer than one that
    // sends slowly; a kept connection's from the first byte of the request.
    void arm(Clock::time_point when) {
        timer_.expires_at(when);
        timer_.async_wait([self = self(), when](error_code ec) {
            if (!ec && self->timer_.expiry() == when)
                self->onDeadline();
        });
    }

    void onDeadline() {
        if (closed_ || stage == Stage::Busy)
            return;
        if (stage == Stage::Reading && started_) {
            // The read in progress ends; its handler answers 408.
            timedOut_ = true;
            error_code ignored;
            tcp().socket().cancel(ignored);
            return;
        }
        if (kTls && stage == Stage::Idle) {
            // The wait for a request ends; its handler sends our
            // close_notify, so the client knows nothing was cut.
            idleEnded_ = true;
            error_code ignored;
            tcp().socket().cancel(ignored);
            return;
        }
        closeNow();
    }

    void begin() {
        enter(Stage::Reading);
        arm(Clock::now() + core_.limits.requestDeadline);
        if constexpr (kTls) {
            stream_.async_handshake(net::ssl::stream_base::server, [self = self()](error_code ec) {
                if (ec)
                    return self->closeNow();
                self->awaitRequest();
            });
        } else {
            awaitRequest();
        }
    }

    // Waits for the first byte of the next request. Line ends between
    // requests are not the start of one.
    void awaitRequest() {
        if (closed_)
            return;
        const auto* data = static_cast<const char*>(buffer_.data().data());
        std::size_t skip = 0;
        while (skip < buffer_.size() && (data[skip] == '\r' || data[skip] == '\n'))
            ++skip;
        buffer_.consume(skip);
        if (buffer_.size() > 0)
            return startRequest();
        enter(Stage::Idle);
        stream_.async_read_some(buffer_.prepare(kReadPiece),
                                [self = self()](error_code ec, std::size_t n) {
                                    self->buffer_.commit(n);
                                    if (ec && self->idleEnded_ && !self->closed_)
                                        return self->finish();
                                    if (ec)
                                        return self->closeNow();
                                    self->awaitRequest();
                                });
    }

    void startRequest() {
        started_ = true;
        idleEnded_ = false;
        enter(Stage::Reading);
        if (served_ > 0)
            arm(Clock::now() + core_.limits.requestDeadline);
        parser_.emplace();
        parser_->header_limit(static_cast<std::uint32_t>(core_.limits.maxHeadBytes));
        // The body's bound is checked against Content-Length before a byte
        // of it is read (413); none applies while the head is read. (Not
        // boost::none: Boost 1.74's parser compares lengths with it as a
        // value and refuses every body.)
        parser_->body_limit(std::numeric_limits<std::uint64_t>::max());
        http::async_read_header(stream_, buffer_, *parser_,
                                [self = self()](error_code ec, std::size_t) { self->onHead(ec); });
    }

    std::string path() const {
        const auto target = parser_->get().target();
        return std::string(target.substr(0, target.find('?')));
    }

    // A head over the whole bound: an over-long request line says 414.
    int headTooLarge() const {
        const std::string_view bytes(static_cast<const char*>(buffer_.data().data()),
                                     buffer_.size());
        const std::size_t end = bytes.find('\n');
        return end == std::string_view::npos || end + 1 > core_.limits.maxLineBytes ? 414 : 431;
    }

    // The bounds Beast does not keep itself: lines, their length, and (for
    // a head that came in pieces) the whole.
    int headOutOfBounds() const {
        const auto& head = parser_->get();
        const std::size_t requestLine =
            head.method_string().size() + head.target().size() + std::size("HTTP/1.1") + 3;
        if (requestLine > core_.limits.maxLineBytes)
            return 414;
        std::size_t lines = 0;
        std::size_t total = requestLine + 2;
        for (const auto& field : head) {
            const std::size_t line = field.name_string().size() + field.value().size() + 4;
            total += line;
            if (++lines > core_.limits.maxHeaderLines || line > core_.limits.maxLineBytes ||
                total > core_.limits.maxHeadBytes) {
                return 431;
            }
        }
        return 0;
    }

    void onHead(error_code ec) {
        if (timedOut_)
            return refuse(408, parser_->is_header_done() ? path() : std::string());
        if (ec == http::error::header_limit || ec == http::error::buffer_overflow)
            return refuse(headTooLarge(), {});
        if (ec == http::error::bad_content_length)
            return refuse(400, path());
        if (ec == http::error::bad_transfer_encoding)
            return refuse(411, path());
        if (ec && isParseError(ec))
            return refuse(400, path());
        if (ec)
            return closeNow();
        if (const int status = headOutOfBounds())
            return refuse(status, {});
        const auto& head = parser_->get();
        // Chunked or any other transfer coding: refused unread. A
        // compressed body could unpack to any size.
        if (head.count(http::field::transfer_encoding) != 0)
            return refuse(411, path());
        const std::uint64_t length = parser_->content_length().value_or(0);
        const auto coding = head[http::field::content_encoding];
        if (length > 0 && !coding.empty() && !sameText(coding, "identity"))
            return refuse(415, path());
        if (length > core_.limits.maxBodyBytes)
            return refuse(413, path());
        // HTTP/1.1 names its host, once: a request without one could be
        // meant for any site behind this address.
        const std::size_t hosts = head.count(http::field::host);
        if (hosts > 1 || (hosts == 0 && head.version() >= 11))
            return refuse(400, path());
        parser_->body_limit(core_.limits.maxBodyBytes);
        if (parser_->is_done())
            return dispatch();
        if (sameText(head[http::field::expect], "100-continue") && head.version() == 11 &&
            buffer_.size() < length) {
            auto cont = std::make_shared<HeadReply>(http::status::continue_, 11);
            http::async_write(stream_, *cont, [self = self(), cont](error_code e, std::size_t) {
                if (e)
                    return self->closeNow();
                self->readBody();
            });
            return;
        }
        readBody();
    }

    void readBody() {
        http::async_read(stream_, buffer_, *parser_, [self = self()](error_code ec, std::size_t) {
            if (self->timedOut_)
                return self->refuse(408, self->path());
            if (ec && isParseError(ec))
                return self->refuse(400, self->path());
            if (ec)
                return self->closeNow();
            self->dispatch();
        });
    }

    // The request is complete: a handler thread answers it while this
    // connection waits without reading.
    void dispatch() {
        timer_.cancel();
        enter(Stage::Busy);
        started_ = false;
        const bool head = parser_->get().method() == http::verb::head;
        const bool keep =
            parser_->get().keep_alive() && served_ + 1 < core_.limits.keepAliveRequests;
        Request request = toRequest(parser_->release(), remote_);
        path_ = request.path;
        parser_.reset();
        net::post(*core_.work, [self = self(), request = std::move(request), head, keep]() mutable {
            self->answered(self->core_.router.dispatch(request), head, keep);
        });
    }

    // On a handler thread: the reply goes back to the connection.
    void answered(Response res, bool head, bool keep) {
        net::post(stream_.get_executor(),
                  [self = self(), res = std::move(res), head, keep]() mutable {
                      if (res.deferred)
                          return self->await(std::move(res.deferred), head, keep);
                      self->reply(std::move(res), head, keep);
                  });
    }

    // A reply that is not ready yet is waited for on the connection's
    // timer, so a handler thread is free meanwhile.
    void await(std::shared_ptr<Response::Deferred> deferred, bool head, bool keep) {
        if (closed_)
            return;
        timer_.expires_after(deferred->delay);
        timer_.async_wait(
            [self = self(), deferred = std::move(deferred), head, keep](error_code ec) mutable {
                if (ec || self->closed_)
                    return;
                net::post(*self->core_.work, [self, deferred = std::move(deferred), head, keep] {
                    self->answered(self->core_.router.resume(*deferred, self->path_), head, keep);
                });
            });
    }

    void reply(Response res, bool head, bool keep) {
        if (closed_)
            return;
        ++served_;
        const ReplyEnd end{
            keep && !core_.stopping,
            std::chrono::duration_cast<std::chrono::seconds>(core_.limits.keepAliveIdle).count(),
            core_.limits.keepAliveRequests};
        const std::uint64_t bytes = head ? 0 : res.bodySize();
        if (bytes >= core_.limits.largeReplyBytes && !core_.table.beginLargeReply(*this))
            return refuse(503, path_);
        tcp().expires_after(core_.limits.replyDeadline +
                            std::chrono::seconds(bytes / std::max<std::size_t>(
                                                             core_.limits.replyBytesPerSecond, 1)));
        if (head) {
            auto message = std::make_shared<HeadReply>();
            writeHead(message->base(), res, end);
            return send(std::move(message), end.keepAlive);
        }
        if (res.file) {
            auto message = std::make_shared<FileReply>();
            writeHead(message->base(), res, end);
            message->body() = std::move(res.file);
            return send(std::move(message), end.keepAlive);
        }
        auto message = std::make_shared<StringReply>();
        writeHead(message->base(), res, end);
        message->body() = std::move(res.body);
        send(std::move(message), end.keepAlive);
    }

    template <class Message>
    void send(std::shared_ptr<Message> message, bool keep) {
        http::async_write(stream_, *message,
                          [self = self(), message, keep](error_code ec, std::size_t) {
                              self->tcp().expires_never();
                              self->core_.table.endLargeReply(*self);
                              if (ec)
                                  return self->closeNow();
                              if (!keep)
                                  return self->finish();
                              self->arm(Clock::now() + self->core_.limits.keepAliveIdle);
                              self->awaitRequest();
                          });
    }

    // Answers a request refused before any handler saw it, and ends the
    // connection.
    void refuse(int status, const std::string& where) {
        timer_.cancel();
        enter(Stage::Closing);
        buffer_.consume(buffer_.size());
        Response res = core_.router.refusal(status, where);
        if (status == 503)
            res.setHeader("Retry-After", "5");
        auto message = std::make_shared<StringReply>(refusalReply(std::move(res)));
        tcp().expires_after(kLinger);
        http::async_write(stream_, *message, [self = self(), message](error_code ec, std::size_t) {
            if (ec)
                return self->closeNow();
            self->finish();
        });
    }

    // Over TLS, first our close_notify, so that the client can tell a
    // complete reply from a cut one (OpenSSL 3 reports a bare end as an
    // error). The client's own is not waited for: that would mean reading
    // and decrypting whatever it sends meanwhile, without a bound in bytes.
    void finish() {
        enter(Stage::Closing);
        timer_.cancel();
        if constexpr (kTls) {
            if (!notified_) {
                notified_ = true;
                SSL_set_shutdown(stream_.native_handle(), SSL_RECEIVED_SHUTDOWN);
                tcp().expires_after(kCloseNotify);
                stream_.async_shutdown([self = self()](error_code) {
                    self->tcp().expires_never();
                    self->finish();
                });
                return;
            }
        }
        endSending();
    }

    // Ends the sending side and drops what the client still sends, for a
    // bounded time and amount, before closing: a client that is still
    // sending gets to read its reply instead of a reset.
    void endSending() {
        error_code ignored;
        tcp().socket().shutdown(tcp::socket::shutdown_send, ignored);
        tcp().expires_after(kLinger);
        drain();
    }

    void drain() {
        buffer_.consume(buffer_.size());
        tcp().async_read_some(buffer_.prepare(kReadPiece),
                              [self = self()](error_code ec, std::size_t n) {
                                  self->drained_ += n;
                                  if (ec || self->drained_ >= kMaxDrained)
                                      return self->closeNow();
                                  self->drain();
                              });
    }

    void closeNow() {
        if (closed_)
            return;
        closed_ = true;
        enter(Stage::Closing);
        timer_.cancel();
        tcp().close();
    }

    Core& core_;
    Stream stream_;
    net::steady_timer timer_;
    beast::flat_buffer buffer_;
    std::optional<http::request_parser<http::string_body>> parser_;
    std::string remote_;
    std::string path_;  // of the request being answered
    std::size_t served_ = 0;
    std::size_t drained_ = 0;
    bool started_ = false;   // a byte of the current request has arrived
    bool timedOut_ = false;  // the request deadline cut the current read
    bool closed_ = false;
    bool notified_ = false;   // our close_notify has been sent
    bool idleEnded_ = false;  // the idle deadline cut the wait for a request
};

}  // namespace

void serveConnection(Core& core, tcp::socket socket, std::string remote, std::string client) {
    error_code ec;
    // Replies leave in one piece anyway; without this, a piece that still
    // follows waits for the client's delayed acknowledgement.
    socket.set_option(tcp::no_delay(true), ec);
    if (core.tls) {
        auto session =
            std::make_shared<Session<TlsStream>>(core, std::move(socket), std::move(remote));
        core.table.add(session, std::move(client));
        session->run();
    } else {
        auto session =
            std::make_shared<Session<PlainStream>>(core, std::move(socket), std::move(remote));
        core.table.add(session, std::move(client));
        session->run();
    }
}

// The table ----------------------------------------------------------------

bool ConnectionTable::admit(const std::string& client) {
    std::shared_ptr<Connection> victim;
    {
        std::lock_guard lock(mutex_);
        if (auto it = clients_.find(client);
            it != clients_.end() && it->second.connections >= limits_.maxConnectionsPerAddress) {
            return false;
        }
        if (open_.size() - evicted_ < limits_.maxConnections)
            return true;
        auto rank = [](const Connection& c) {
            return std::pair(static_cast<int>(c.stage.load()), c.since.load());
        };
        for (const auto& entry : open_) {
            std::shared_ptr<Connection> c = entry.lock();
            if (!c || c->evicted_ || c->stage == Connection::Stage::Busy)
                continue;
            if (!victim || rank(*c) < rank(*victim))
                victim = std::move(c);
        }
        if (!victim)
            return false;
        victim->evicted_ = true;
        ++evicted_;
    }
    victim->close();
    return true;
}

void ConnectionTable::add(const std::shared_ptr<Connection>& connection, std::string client) {
    std::lock_guard lock(mutex_);
    ++clients_[client].connections;
    connection->client_ = std::move(client);
    connection->entry_ = open_.insert(open_.end(), connection);
    connection->listed_ = true;
}

void ConnectionTable::remove(Connection& connection) {
    std::lock_guard lock(mutex_);
    if (!connection.listed_)
        return;
    dropLarge(connection);
    open_.erase(connection.entry_);
    connection.listed_ = false;
    if (connection.evicted_)
        --evicted_;
    if (auto it = clients_.find(connection.client_); it != clients_.end()) {
        if (--it->second.connections == 0)
            clients_.erase(it);
    }
    if (open_.empty())
        emptied_.notify_all();
}

bool ConnectionTable::beginLargeReply(Connection& connection) {
    std::lock_guard lock(mutex_);
    if (connection.large_)
        return true;
    auto it = clients_.find(connection.client_);
    if (!connection.listed_ || it == clients_.end() || largeReplies_ >= limits_.maxLargeReplies ||
        it->second.largeReplies >= limits_.maxLargeRepliesPerAddress) {
        return false;
    }
    ++it->second.largeReplies;
    ++largeReplies_;
    connection.large_ = true;
    return true;
}

void ConnectionTable::endLargeReply(Connection& connection) {
    std::lock_guard lock(mutex_);
    dropLarge(connection);
}

void ConnectionTable::dropLarge(Connection& connection) {
    if (!connection.large_)
        return;
    connection.large_ = false;
    --largeReplies_;
    if (auto it = clients_.find(connection.client_); it != clients_.end())
        --it->second.largeReplies;
}

bool ConnectionTable::closeAll(std::chrono::milliseconds bound) {
    std::vector<std::shared_ptr<Connection>> all;
    {
        std::lock_guard lock(mutex_);
        for (const auto& entry : open_) {
            if (auto c = entry.lock())
                all.push_back(std::move(c));
        }
    }
    for (const auto& c : all)
        c->close();
    all.clear();
    std::unique_lock lock(mutex_);
    return emptied_.wait_for(lock, bound, [&] { return open_.empty(); });
}

}  // namespace yhz::web
