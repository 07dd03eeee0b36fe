#pragma once
// A TCP proxy on loopback that makes a server look far away. Every chunk is
// delivered a one-way delay D late, in both directions, and a new
// connection's first bytes towards the server wait 2D more, as its
// handshake would have. It counts the connections it took and the client's
// flights (a send that follows an answer, or opens the connection: one per
// request on plain HTTP).
//
// Bounded: at most kMaxConnections at once (more are closed at once), at
// most kMaxHeldBytes held per direction (reading pauses beyond), and a
// lifetime after which it closes everything by itself.

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace yhz::test {

class LatencyProxy {
public:
    static constexpr int kMaxConnections = 256;
    static constexpr std::size_t kMaxHeldBytes = std::size_t{4} << 20;

    // Forwards to 127.0.0.1:`targetPort`.
    LatencyProxy(int targetPort, std::chrono::milliseconds oneWay,
                 std::chrono::seconds lifetime = std::chrono::seconds(600));
    ~LatencyProxy();
    LatencyProxy(const LatencyProxy&) = delete;
    LatencyProxy& operator=(const LatencyProxy&) = delete;

    int port() const { return port_; }
    std::chrono::milliseconds oneWay() const { return oneWay_; }
    int connections() const { return connections_; }
    int flights() const { return flights_; }
    // When the first byte from a client arrived, and when the latest byte
    // reached a client; the epoch of the steady clock before either.
    std::chrono::steady_clock::time_point firstRequest() const;
    std::chrono::steady_clock::time_point lastReply() const;

private:
    struct Engine;
    class Session;

    std::chrono::milliseconds oneWay_;
    std::atomic<int> connections_{0};
    std::atomic<int> flights_{0};
    std::atomic<std::chrono::steady_clock::rep> firstRequest_{0};
    std::atomic<std::chrono::steady_clock::rep> lastReply_{0};
    std::unique_ptr<Engine> engine_;
    int port_ = 0;
    std::thread thread_;
};

}  // namespace yhz::test
