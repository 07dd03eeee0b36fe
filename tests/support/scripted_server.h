#pragma once
// An HTTP/1.1 server on a loopback port that keeps its connections open
// between requests and lets the test decide, request by request, how each
// answer ends: kept open, closed after the reply, announced with
// "Connection: close", cut and reset in the middle, or never given. What a
// kept connection can meet out there, on demand.

#include <atomic>
#include <functional>
#include <list>
#include <mutex>
#include <stop_token>
#include <string>
#include <thread>

namespace yhz::test {

struct ScriptedReply {
    enum class End {
        KeepOpen,         // an ordinary keep-alive reply
        CloseAfter,       // the reply, then the server closes the idle connection
        ConnectionClose,  // the reply says "Connection: close" and the server closes
        ResetMidReply,    // half the body, then a reset
        Stall,            // no answer at all while the client waits
    };
    End end = End::KeepOpen;
    int status = 200;
    std::string body;
};

class ScriptedServer {
public:
    // `script(path, body)` runs on the connection's thread.
    using Script = std::function<ScriptedReply(const std::string& path, const std::string& body)>;

    explicit ScriptedServer(Script script);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    int port() const { return port_; }
    int connections() const { return connections_; }
    int requests() const { return requests_; }
    // Connections whose client has gone (closed or reset by it).
    int closedByClient() const { return closedByClient_; }

private:
    void acceptLoop(std::stop_token stop);
    void serve(int fd, std::stop_token stop);

    Script script_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<int> requests_{0};
    std::atomic<int> closedByClient_{0};
    std::mutex mutex_;
    std::list<std::jthread> connectionThreads_;
    std::jthread acceptor_;
};

}  // namespace yhz::test
