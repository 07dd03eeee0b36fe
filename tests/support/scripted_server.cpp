#include "support/scripted_server.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "support/loopback.h"

namespace yhz::test {
namespace {

constexpr int kPollMs = 20;
constexpr std::size_t kMaxRequestBytes = 1 << 20;

// Waits for bytes until the stop; false when the peer has gone or on stop.
bool readMore(int fd, std::string& into, const std::stop_token& stop) {
    char buffer[4096];
    while (!stop.stop_requested()) {
        pollfd readable{fd, POLLIN, 0};
        if (poll(&readable, 1, kPollMs) <= 0) {
            continue;
        }
        const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
        if (got <= 0) {
            return false;
        }
        into.append(buffer, static_cast<size_t>(got));
        return into.size() <= kMaxRequestBytes;
    }
    return false;
}

void sendAll(int fd, const std::string& bytes) {
    (void)send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
}

std::size_t contentLength(const std::string& head) {
    for (const char* name : {"\r\nContent-Length:", "\r\ncontent-length:"}) {
        const std::size_t at = head.find(name);
        if (at != std::string::npos) {
            return std::strtoul(head.c_str() + at + std::char_traits<char>::length(name), nullptr,
                                10);
        }
    }
    return 0;
}

}  // namespace

ScriptedServer::ScriptedServer(Script script) : script_(std::move(script)) {
    listener_ = boundLoopbackSocket(port_);
    if (listen(listener_, 64) != 0) {
        throw std::runtime_error("scripted server: cannot listen");
    }
    acceptor_ = std::jthread([this](std::stop_token stop) { acceptLoop(stop); });
}

ScriptedServer::~ScriptedServer() {
    acceptor_.request_stop();
    acceptor_.join();
    const std::scoped_lock lock(mutex_);
    connectionThreads_.clear();  // each stops and joins
    close(listener_);
}

void ScriptedServer::acceptLoop(std::stop_token stop) {
    while (!stop.stop_requested()) {
        const int fd = acceptWithin(listener_, kPollMs);
        if (fd < 0) {
            continue;
        }
        ++connections_;
        const std::scoped_lock lock(mutex_);
        connectionThreads_.emplace_back([this, fd](std::stop_token connectionStop) {
            serve(fd, connectionStop);
            close(fd);
        });
    }
}

void ScriptedServer::serve(int fd, std::stop_token stop) {
    std::string pending;
    for (;;) {
        std::size_t headEnd;
        while ((headEnd = pending.find("\r\n\r\n")) == std::string::npos) {
            if (!readMore(fd, pending, stop)) {
                if (!stop.stop_requested()) {
                    ++closedByClient_;
                }
                return;
            }
        }
        const std::string head = pending.substr(0, headEnd + 2);
        const std::size_t bodyStart = headEnd + 4;
        const std::size_t length = contentLength(head);
        while (pending.size() < bodyStart + length) {
            if (!readMore(fd, pending, stop)) {
                return;
            }
        }
        const std::string body = pending.substr(bodyStart, length);
        pending.erase(0, bodyStart + length);
        const std::size_t pathStart = head.find(' ') + 1;
        const std::string path = head.substr(pathStart, head.find(' ', pathStart) - pathStart);
        ++requests_;

        const ScriptedReply reply = script_(path, body);
        using End = ScriptedReply::End;
        if (reply.end == End::Stall) {
            std::string ignored;
            while (readMore(fd, ignored, stop)) {
            }
            if (!stop.stop_requested()) {
                ++closedByClient_;
            }
            return;
        }
        std::string out = "HTTP/1.1 " + std::to_string(reply.status) + " Scripted\r\n";
        out += "Content-Type: text/plain\r\n";
        if (reply.end == End::ConnectionClose) {
            out += "Connection: close\r\n";
        }
        if (reply.end == End::ResetMidReply) {
            out += "Content-Length: " + std::to_string(reply.body.size() + 10) + "\r\n\r\n";
            sendAll(fd, out + reply.body.substr(0, reply.body.size() / 2));
            const linger abort{1, 0};
            setsockopt(fd, SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
            return;
        }
        out += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n\r\n" + reply.body;
        sendAll(fd, out);
        if (reply.end == End::ConnectionClose) {
            return;
        }
        if (reply.end == End::CloseAfter) {
            // Long enough for the client to put the connection back as idle.
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
            return;
        }
    }
}

}  // namespace yhz::test
