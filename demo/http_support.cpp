#include "demo/http_support.h"

#include <httplib.h>

#include <cctype>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <random>

#include <openssl/rand.h>
#include <sys/socket.h>

namespace yhz::web {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%') {
            if (i + 2 >= text.size())
                return std::nullopt;
            int high = hexValue(text[i + 1]);
            int low = hexValue(text[i + 2]);
            if (high < 0 || low < 0)
                return std::nullopt;
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// httplib's own pool queues without bound; this one makes the acceptor wait.
class BoundedPool : public httplib::TaskQueue {
public:
    BoundedPool(std::size_t threads, std::size_t maxQueued) : maxQueued_(maxQueued) {
        for (std::size_t i = 0; i < threads; ++i) {
            workers_.emplace_back([this] { work(); });
        }
    }
    ~BoundedPool() override { shutdown(); }

    void enqueue(std::function<void()> fn) override {
        std::unique_lock lock(mutex_);
        roomForMore_.wait(lock, [&] { return jobs_.size() < maxQueued_ || stopping_; });
        jobs_.push_back(std::move(fn));
        jobReady_.notify_one();
    }

    void shutdown() override {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ && workers_.empty())
                return;
            stopping_ = true;
        }
        jobReady_.notify_all();
        roomForMore_.notify_all();
        for (std::thread& t : workers_) {
            if (t.joinable())
                t.join();
        }
        workers_.clear();
    }

private:
    void work() {
        while (true) {
            std::function<void()> job;
            {
                std::unique_lock lock(mutex_);
                jobReady_.wait(lock, [&] { return !jobs_.empty() || stopping_; });
                // Jobs already accepted still run: each owns a socket to close.
                if (jobs_.empty())
                    return;
                job = std::move(jobs_.front());
                jobs_.pop_front();
                roomForMore_.notify_one();
            }
            job();
        }
    }

    std::size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable jobReady_;
    std::condition_variable roomForMore_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> workers_;
    bool stopping_ = false;
};

}  // namespace

std::optional<std::vector<FormField>> parseForm(std::string_view body) {
    std::vector<FormField> fields;
    std::size_t from = 0;
    while (from <= body.size()) {
        std::size_t end = body.find('&', from);
        if (end == std::string_view::npos)
            end = body.size();
        std::string_view piece = body.substr(from, end - from);
        from = end + 1;
        if (piece.empty())
            continue;
        std::size_t eq = piece.find('=');
        if (eq == std::string_view::npos || eq == 0)
            return std::nullopt;
        auto name = percentDecode(piece.substr(0, eq));
        auto value = percentDecode(piece.substr(eq + 1));
        if (!name || !value || name->empty())
            return std::nullopt;
        fields.push_back(FormField{std::move(*name), std::move(*value)});
    }
    return fields;
}

const std::string* findField(const std::vector<FormField>& form, std::string_view name) {
    for (const FormField& field : form) {
        if (field.name == name)
            return &field.value;
    }
    return nullptr;
}

std::size_t countField(const std::vector<FormField>& form, std::string_view name) {
    std::size_t n = 0;
    for (const FormField& field : form) {
        if (field.name == name)
            ++n;
    }
    return n;
}

void applyLimits(httplib::Server& server, const Limits& limits) {
    const std::size_t threads = limits.threads == 0 ? 1 : limits.threads;
    const std::size_t queued = limits.queuedConnections == 0 ? 1 : limits.queuedConnections;
    server.new_task_queue = [threads, queued] { return new BoundedPool(threads, queued); };
    server.set_payload_max_length(limits.maxBodyBytes);
    server.set_read_timeout(limits.ioTimeout);
    server.set_write_timeout(limits.ioTimeout);
    server.set_keep_alive_timeout(static_cast<time_t>(limits.keepAliveTimeout.count()));
    server.set_keep_alive_max_count(limits.keepAliveRequests);
    // httplib's default also sets SO_REUSEPORT, which would let a second copy
    // of a server bind the same port and silently take half the clients.
    server.set_socket_options([](socket_t sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    server.set_exception_handler(
        [](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
            res.status = 500;
            res.set_content("internal error\n", "text/plain; charset=utf-8");
        });
}

ServerThread::ServerThread(std::unique_ptr<httplib::Server> server) : server_(std::move(server)) {}

ServerThread::~ServerThread() {
    stop();
}

int ServerThread::start(const std::string& address, int port,
                        const std::function<void(int port)>& bound) {
    if (thread_.joinable() || !server_->is_valid())
        return -1;
    if (port == 0) {
        port_ = server_->bind_to_any_port(address);
    } else {
        port_ = server_->bind_to_port(address, port) ? port : -1;
    }
    if (port_ < 0)
        return -1;
    if (bound)
        bound(port_);
    finished_ = false;
    thread_ = std::thread([this] {
        server_->listen_after_bind();
        finished_ = true;
    });
    // Callers may talk to the server as soon as this returns.
    while (!server_->is_running() && !finished_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return port_;
}

void ServerThread::stop() {
    if (!thread_.joinable())
        return;
    // stop() before the listen loop runs would be lost, so wait for it.
    while (!server_->is_running() && !finished_) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server_->stop();
    thread_.join();
}

std::string hostWithoutPort(std::string_view hostHeader) {
    std::string host;
    if (!hostHeader.empty() && hostHeader.front() == '[') {
        std::size_t close = hostHeader.find(']');
        host = std::string(
            hostHeader.substr(0, close == std::string_view::npos ? hostHeader.size() : close + 1));
    } else {
        host = std::string(hostHeader.substr(0, hostHeader.find(':')));
    }
    for (char& c : host)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (!host.empty() && host.back() == '.')
        host.pop_back();
    return host;
}

std::string randomHex(bool upperCase) {
    const char* hex = upperCase ? "0123456789ABCDEF" : "0123456789abcdef";
    unsigned char bytes[16];
    if (RAND_bytes(bytes, sizeof bytes) != 1) {
        std::random_device device;
        for (unsigned char& b : bytes)
            b = static_cast<unsigned char>(device());
    }
    std::string text;
    text.reserve(32);
    for (unsigned char b : bytes) {
        text += hex[b >> 4];
        text += hex[b & 0xfu];
    }
    return text;
}

}  // namespace yhz::web
