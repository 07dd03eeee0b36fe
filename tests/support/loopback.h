#pragma once
// Real servers on 127.0.0.1 for the web request tests: cpp-httplib over plain
// HTTP and over TLS with certificates made at run time, and a listener that
// takes connections and never answers.

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <chrono>
#include <memory>
#include <stop_token>
#include <string>
#include <thread>

namespace yhz::test {

// A key and certificate pair owned together.
struct KeyAndCert {
    EVP_PKEY* key = nullptr;
    X509* cert = nullptr;
    KeyAndCert() = default;
    KeyAndCert(const KeyAndCert&) = delete;
    KeyAndCert& operator=(const KeyAndCert&) = delete;
    KeyAndCert(KeyAndCert&& o) noexcept : key(o.key), cert(o.cert) {
        o.key = nullptr;
        o.cert = nullptr;
    }
    ~KeyAndCert();
};

// A certificate authority made for one test run.
class TestCa {
public:
    TestCa();
    // A server certificate for 127.0.0.1 and localhost signed by this CA.
    KeyAndCert issueServer() const;
    // A self-signed certificate for the same names that nothing trusts.
    static KeyAndCert selfSigned();
    // The CA certificate as a PEM file in a fresh temporary folder.
    const std::string& pemPath() const { return pemPath_; }
    ~TestCa();

private:
    KeyAndCert ca_;
    std::string dir_;
    std::string pemPath_;
};

// Runs a server on an ephemeral loopback port until destroyed.
class RunningServer {
public:
    explicit RunningServer(std::unique_ptr<httplib::Server> server);
    ~RunningServer();
    RunningServer(const RunningServer&) = delete;
    RunningServer& operator=(const RunningServer&) = delete;
    int port() const { return port_; }
    httplib::Server& server() { return *server_; }

private:
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
};

// Listens on a loopback port; the kernel completes the connections, nothing
// ever reads or answers them.
class SilentListener {
public:
    SilentListener();
    ~SilentListener();
    SilentListener(const SilentListener&) = delete;
    SilentListener& operator=(const SilentListener&) = delete;
    int port() const { return port_; }

private:
    int fd_ = -1;
    int port_ = -1;
};

// Answers every connection with a status line and headers promising a large
// body, then sends that body one byte per `interval`: a server that never
// stalls long enough for a stall bound and never finishes.
class DrippingServer {
public:
    explicit DrippingServer(std::chrono::milliseconds interval);
    ~DrippingServer();
    DrippingServer(const DrippingServer&) = delete;
    DrippingServer& operator=(const DrippingServer&) = delete;
    int port() const { return port_; }

private:
    void serve(std::stop_token stop);
    int fd_ = -1;
    int port_ = -1;
    std::chrono::milliseconds interval_;
    std::jthread thread_;
};

// Answers every connection with the same bytes, written as they are after
// the request's header, then closes it: replies no HTTP library would send
// (a body cut short, a body that ends with the connection).
class RawReplyServer {
public:
    explicit RawReplyServer(std::string reply);
    ~RawReplyServer();
    RawReplyServer(const RawReplyServer&) = delete;
    RawReplyServer& operator=(const RawReplyServer&) = delete;
    int port() const { return port_; }

private:
    void serve(std::stop_token stop);
    std::string reply_;
    int fd_ = -1;
    int port_ = -1;
    std::jthread thread_;
};

// A loopback port on which nothing listens.
int closedPort();

// A TCP socket bound to an ephemeral loopback port, not yet listening; its
// port in `port`. Throws when there is none.
int boundLoopbackSocket(int& port);

// A connection taken from the listening `fd`; -1 when none came within
// `withinMs`, so that an accept loop can look at its stop request.
int acceptWithin(int fd, int withinMs);

}  // namespace yhz::test
