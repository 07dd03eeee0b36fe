#pragma once
// What both demo servers need from their HTTP layer: a server that runs on a
// thread of its own with bounded resources, and a strict form parser.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace httplib {
class Server;
}

namespace yhz::web {

struct FormField {
    std::string name;
    std::string value;
};

// Parses an application/x-www-form-urlencoded body. "+" is a space and "%XY"
// a byte; empty pieces ("&&", a trailing "&") are skipped. A piece without
// "=", an empty name or a broken escape makes the whole form malformed.
std::optional<std::vector<FormField>> parseForm(std::string_view body);

// Value of the first field of that name, nullptr when absent.
const std::string* findField(const std::vector<FormField>& form, std::string_view name);
std::size_t countField(const std::vector<FormField>& form, std::string_view name);

struct Limits {
    std::size_t threads = 16;
    // Accepted connections waiting for a thread; beyond that the acceptor
    // waits, and further clients queue in the kernel's listen backlog.
    std::size_t queuedConnections = 64;
    std::size_t maxBodyBytes = 8192;
    std::chrono::seconds ioTimeout{5};
    std::chrono::seconds keepAliveTimeout{2};
    std::size_t keepAliveRequests = 50;
};

// Applies the limits and a handler for uncaught exceptions (500, the server
// keeps serving).
void applyLimits(httplib::Server& server, const Limits& limits);

// Runs one httplib server on a thread of its own.
class ServerThread {
public:
    explicit ServerThread(std::unique_ptr<httplib::Server> server);
    ~ServerThread();
    ServerThread(const ServerThread&) = delete;
    ServerThread& operator=(const ServerThread&) = delete;

    // Binds (port 0: any free port) and starts serving. `bound` runs with the
    // port before the first request is served. Returns the port, or -1 when
    // the address cannot be bound.
    int start(const std::string& address, int port,
              const std::function<void(int port)>& bound = {});
    // Stops serving and joins the thread; safe to call more than once.
    void stop();
    int port() const { return port_; }
    httplib::Server& server() { return *server_; }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    std::atomic<bool> finished_{false};
    int port_ = -1;
};

// Lower-cased host of a Host header, without its port.
std::string hostWithoutPort(std::string_view hostHeader);

// 16 bytes from OpenSSL's generator as 32 hex digits: tokens and session ids
// must not be guessable from the ones a client has seen.
std::string randomHex(bool upperCase);

}  // namespace yhz::web
