#pragma once
// What the request handlers read from and write to: the request the front
// has already read whole (so a handler never waits for a client), and the
// connection, written in large pieces with a bound on how long a client
// may keep a write from making progress.

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <string>

#include "demo/http/transport.h"

namespace yhz::web {

struct Peer {
    std::string remoteIp;
    int remotePort = 0;
    std::string localIp;
    int localPort = 0;
};

class RequestStream : public httplib::Stream {
public:
    RequestStream(std::string request, Transport& transport, const Peer& peer,
                  std::chrono::milliseconds writeStall, const std::atomic<bool>& stopping);

    bool is_readable() const override;
    bool is_writable() const override;
    ssize_t read(char* ptr, size_t size) override;
    ssize_t write(const char* ptr, size_t size) override;
    void get_remote_ip_and_port(std::string& ip, int& port) const override;
    void get_local_ip_and_port(std::string& ip, int& port) const override;
    socket_t socket() const override;

    // Sends what is still held back; false when the connection failed.
    bool flush();
    bool failed() const { return failed_; }

private:
    bool sendAll(const char* data, std::size_t size);

    std::string request_;
    std::size_t readPos_ = 0;
    Transport& transport_;
    const Peer& peer_;
    std::chrono::milliseconds writeStall_;
    const std::atomic<bool>& stopping_;
    // The status line, the headers and the start of the body leave together:
    // one segment instead of two, whatever the socket options.
    std::string pending_;
    bool failed_ = false;
};

}  // namespace yhz::web
