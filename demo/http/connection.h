#pragma once
// Inside the demo programs' HTTP engine: what every connection shares (the
// limits, the routes, the two thread pools' contexts) and the table that
// bounds how many connections are open. Only the engine's own files include
// this.

#include <atomic>
#include <boost/asio/io_context.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "demo/http/http_server.h"

namespace yhz::web {

using Clock = std::chrono::steady_clock;

// One open connection, as the table sees it.
class Connection : public std::enable_shared_from_this<Connection> {
public:
    // How much a connection is worth keeping when room must be made: the
    // lowest goes first.
    enum class Stage { Closing, Idle, Reading, Busy };

    virtual ~Connection() = default;
    // Ends the connection from any thread, whatever it is doing.
    virtual void close() = 0;

    std::atomic<Stage> stage{Stage::Reading};
    // When the current stage began: of two equal stages the older goes first.
    std::atomic<Clock::rep> since{0};

private:
    friend class ConnectionTable;
    std::list<std::weak_ptr<Connection>>::iterator entry_;
    std::string client_;  // the address key it counts under
    bool listed_ = false;
    bool evicted_ = false;
    bool large_ = false;  // holds a large-reply slot
};

class ConnectionTable {
public:
    explicit ConnectionTable(const Limits& limits) : limits_(limits) {}

    // Makes room for a new connection from `client` (its address key),
    // closing the one that matters least when the table is full. False when
    // that address has its share already or none can go (all are being
    // answered): the new one is turned away.
    bool admit(const std::string& client);
    void add(const std::shared_ptr<Connection>& connection, std::string client);
    void remove(Connection& connection);
    // A slot for a large reply on `connection`; false when its address, or
    // everyone together, has them all. Given back by endLargeReply() or
    // remove().
    bool beginLargeReply(Connection& connection);
    void endLargeReply(Connection& connection);
    // Closes every connection; waits up to `bound` for the table to empty.
    bool closeAll(std::chrono::milliseconds bound);

private:
    struct Share {
        std::size_t connections = 0;
        std::size_t largeReplies = 0;
    };
    void dropLarge(Connection& connection);

    Limits limits_;
    std::mutex mutex_;
    std::condition_variable emptied_;
    std::list<std::weak_ptr<Connection>> open_;
    std::size_t evicted_ = 0;
    std::size_t largeReplies_ = 0;
    std::unordered_map<std::string, Share> clients_;
};

struct Core {
    Core(Limits l, std::shared_ptr<TlsContext> t) : limits(l), tls(std::move(t)), table(l) {}

    Limits limits;
    std::shared_ptr<TlsContext> tls;
    Router router;
    std::atomic<bool> stopping{false};
    ConnectionTable table;
    // Destroyed before anything above: connections and queued handlers
    // refer to the rest. `io` runs the connections, `work` the handlers.
    std::optional<boost::asio::io_context> io{std::in_place};
    std::optional<boost::asio::io_context> work{std::in_place};
};

// Takes an accepted socket, admitted from `client` (its address key), and
// serves it until it ends.
void serveConnection(Core& core, boost::asio::ip::tcp::socket socket, std::string remote,
                     std::string client);

}  // namespace yhz::web
