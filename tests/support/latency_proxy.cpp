#include "support/latency_proxy.h"

// Boost 1.74's Asio uses std::exchange without including <utility> itself.
#include <utility>
// clang-format off
#include <boost/asio.hpp>
// clang-format on
#include <array>
#include <deque>
#include <functional>
#include <list>
#include <vector>

namespace yhz::test {

namespace asio = boost::asio;
using tcp = asio::ip::tcp;
using Clock = std::chrono::steady_clock;

struct LatencyProxy::Engine {
    asio::io_context io;
    tcp::acceptor acceptor{io};
    asio::steady_timer lifetime{io};
    int targetPort = 0;
    std::list<std::weak_ptr<Session>> sessions;  // touched on the io thread only

    void accept(std::function<void(tcp::socket)> take);
    void closeAll();
    int live();
};

// One proxied connection: two pipes, each reading from one socket and
// writing what it read to the other once its time has come.
class LatencyProxy::Session : public std::enable_shared_from_this<Session> {
public:
    Session(LatencyProxy& owner, tcp::socket client, tcp::socket server)
        : owner_(owner),
          opened_(Clock::now()),
          client_(std::move(client)),
          server_(std::move(server)),
          up_(*this, client_, server_, true),
          down_(*this, server_, client_, false) {}

    void start() {
        up_.read();
        down_.read();
    }

    void close() {
        boost::system::error_code ignored;
        client_.close(ignored);
        server_.close(ignored);
    }

private:
    struct Chunk {
        Clock::time_point due;
        std::vector<char> bytes;  // empty: the sender has finished
    };

    class Pipe {
    public:
        Pipe(Session& session, tcp::socket& from, tcp::socket& to, bool towardsServer)
            : session_(session),
              from_(from),
              to_(to),
              towardsServer_(towardsServer),
              timer_(from.get_executor()) {}

        void read() {
            if (reading_ || held_ >= kMaxHeldBytes) {
                return;
            }
            reading_ = true;
            auto self = session_.shared_from_this();
            from_.async_read_some(asio::buffer(buffer_),
                                  [this, self](boost::system::error_code ec, std::size_t n) {
                                      reading_ = false;
                                      arrived(ec, n);
                                  });
        }

    private:
        void arrived(boost::system::error_code ec, std::size_t n) {
            if (ec && ec != asio::error::eof) {
                session_.close();  // reset or closed: the other side sees it end too
                return;
            }
            Session& s = session_;
            const auto now = Clock::now();
            const auto delay = s.owner_.oneWay_;
            Clock::time_point due = now + delay;
            if (towardsServer_) {
                Clock::rep none = 0;
                s.owner_.firstRequest_.compare_exchange_strong(none,
                                                               now.time_since_epoch().count());
                due = std::max(now, s.opened_ + 2 * delay) + delay;
                if (n > 0 && !s.clientSpokeLast_) {
                    ++s.owner_.flights_;
                }
            }
            if (n > 0) {
                s.clientSpokeLast_ = towardsServer_;
            }
            // Kept in order: a later chunk is never due before an earlier one.
            if (!queue_.empty()) {
                due = std::max(due, queue_.back().due);
            }
            queue_.push_back({due, ec ? std::vector<char>()
                                      : std::vector<char>(buffer_.data(), buffer_.data() + n)});
            held_ += n;
            write();
            if (!ec) {
                read();
            }
        }

        void write() {
            if (writing_ || queue_.empty()) {
                return;
            }
            writing_ = true;
            auto self = session_.shared_from_this();
            timer_.expires_at(queue_.front().due);
            timer_.async_wait([this, self](boost::system::error_code ec) {
                if (ec) {
                    writing_ = false;
                    return;
                }
                Chunk& chunk = queue_.front();
                if (chunk.bytes.empty()) {
                    boost::system::error_code ignored;
                    to_.shutdown(tcp::socket::shutdown_send, ignored);
                    queue_.pop_front();
                    writing_ = false;
                    return;
                }
                asio::async_write(to_, asio::buffer(chunk.bytes),
                                  [this, self](boost::system::error_code wec, std::size_t) {
                                      writing_ = false;
                                      if (wec) {
                                          session_.close();
                                          return;
                                      }
                                      if (!towardsServer_) {
                                          session_.owner_.lastReply_ =
                                              Clock::now().time_since_epoch().count();
                                      }
                                      held_ -= queue_.front().bytes.size();
                                      queue_.pop_front();
                                      write();
                                      read();  // in case it paused for room
                                  });
            });
        }

        Session& session_;
        tcp::socket& from_;
        tcp::socket& to_;
        bool towardsServer_;
        asio::steady_timer timer_;
        std::array<char, 16 * 1024> buffer_{};
        std::deque<Chunk> queue_;
        std::size_t held_ = 0;
        bool reading_ = false;
        bool writing_ = false;
    };

    LatencyProxy& owner_;
    Clock::time_point opened_;
    tcp::socket client_;
    tcp::socket server_;
    bool clientSpokeLast_ = false;
    Pipe up_;
    Pipe down_;
};

void LatencyProxy::Engine::accept(std::function<void(tcp::socket)> take) {
    acceptor.async_accept([this, take](boost::system::error_code ec, tcp::socket client) {
        if (ec) {
            return;  // closed
        }
        take(std::move(client));
        accept(take);
    });
}

void LatencyProxy::Engine::closeAll() {
    boost::system::error_code ignored;
    acceptor.close(ignored);
    lifetime.cancel();
    for (const std::weak_ptr<Session>& weak : sessions) {
        if (auto session = weak.lock()) {
            session->close();
        }
    }
}

int LatencyProxy::Engine::live() {
    sessions.remove_if([](const std::weak_ptr<Session>& s) { return s.expired(); });
    return static_cast<int>(sessions.size());
}

LatencyProxy::LatencyProxy(int targetPort, std::chrono::milliseconds oneWay,
                           std::chrono::seconds lifetime)
    : oneWay_(oneWay), engine_(std::make_unique<Engine>()) {
    Engine& engine = *engine_;
    engine.targetPort = targetPort;
    const tcp::endpoint local(asio::ip::make_address("127.0.0.1"), 0);
    engine.acceptor.open(local.protocol());
    engine.acceptor.set_option(tcp::acceptor::reuse_address(true));
    engine.acceptor.bind(local);
    engine.acceptor.listen();
    port_ = engine.acceptor.local_endpoint().port();

    engine.lifetime.expires_after(lifetime);
    engine.lifetime.async_wait([&engine](boost::system::error_code ec) {
        if (!ec) {
            engine.closeAll();
        }
    });
    engine.accept([this, &engine](tcp::socket client) {
        if (engine.live() >= kMaxConnections) {
            return;  // the socket closes as it goes
        }
        tcp::socket server(engine.io);
        boost::system::error_code ec;
        server.connect(tcp::endpoint(asio::ip::make_address("127.0.0.1"),
                                     static_cast<unsigned short>(engine.targetPort)),
                       ec);
        if (ec) {
            return;
        }
        const asio::ip::tcp::no_delay noDelay(true);
        client.set_option(noDelay, ec);
        server.set_option(noDelay, ec);
        ++connections_;
        auto session = std::make_shared<Session>(*this, std::move(client), std::move(server));
        engine.sessions.push_back(session);
        session->start();
    });
    thread_ = std::thread([&engine] { engine.io.run(); });
}

std::chrono::steady_clock::time_point LatencyProxy::firstRequest() const {
    return Clock::time_point(Clock::duration(firstRequest_.load()));
}

std::chrono::steady_clock::time_point LatencyProxy::lastReply() const {
    return Clock::time_point(Clock::duration(lastReply_.load()));
}

// Stopping the loop leaves its handlers unrun; the io_context destroys them
// when the engine goes, after the thread has ended, and with them the last
// owners of the sessions, whose sockets close then.
LatencyProxy::~LatencyProxy() {
    engine_->io.stop();
    thread_.join();
}

}  // namespace yhz::test
