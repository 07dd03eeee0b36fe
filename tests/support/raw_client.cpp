#include "support/raw_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <thread>

namespace yhz::testing {

namespace {
using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point end) {
    const auto left = std::chrono::duration_cast<milliseconds>(end - Clock::now()).count();
    return left < 0 ? 0 : static_cast<int>(left);
}
}  // namespace

RawClient::RawClient(int port, const std::string& tlsHost) {
    // TLS writes go through OpenSSL's own socket calls, which cannot pass
    // MSG_NOSIGNAL: a server that hangs up must fail a write, not end the test.
    std::signal(SIGPIPE, SIG_IGN);
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd_ < 0)
        return;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(static_cast<std::uint16_t>(port));
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd_);
        fd_ = -1;
        return;
    }
    // Non-blocking from here: every wait below is a poll with a bound.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
    if (tlsHost.empty())
        return;
    ctx_ = SSL_CTX_new(TLS_client_method());
    ssl_ = ctx_ ? SSL_new(ctx_) : nullptr;
    bool ok = ssl_ && SSL_set_fd(ssl_, fd_) == 1 &&
              SSL_ctrl(ssl_, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
                       const_cast<char*>(tlsHost.c_str())) == 1;
    const Clock::time_point end = Clock::now() + milliseconds(5000);
    while (ok) {
        const int r = SSL_connect(ssl_);
        if (r == 1)
            break;
        const int error = SSL_get_error(ssl_, r);
        if ((error != SSL_ERROR_WANT_READ && error != SSL_ERROR_WANT_WRITE) ||
            Clock::now() >= end) {
            ok = false;
            break;
        }
        pollfd entry{fd_, static_cast<short>(error == SSL_ERROR_WANT_READ ? POLLIN : POLLOUT), 0};
        ::poll(&entry, 1, remainingMs(end));
    }
    if (!ok) {
        ::close(fd_);
        fd_ = -1;
    }
}

RawClient::~RawClient() {
    SSL_free(ssl_);
    SSL_CTX_free(ctx_);
    if (fd_ >= 0)
        ::close(fd_);
}

bool RawClient::send(std::string_view bytes, milliseconds within) {
    if (fd_ < 0)
        return false;
    const Clock::time_point end = Clock::now() + within;
    while (!bytes.empty()) {
        ssize_t put = -1;
        short waitFor = POLLOUT;
        if (ssl_) {
            std::size_t n = 0;
            const int r = SSL_write_ex(ssl_, bytes.data(), bytes.size(), &n);
            if (r == 1) {
                put = static_cast<ssize_t>(n);
            } else {
                const int error = SSL_get_error(ssl_, r);
                if (error == SSL_ERROR_WANT_READ)
                    waitFor = POLLIN;
                else if (error != SSL_ERROR_WANT_WRITE)
                    return false;
            }
        } else {
            put = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
            if (put < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return false;
        }
        if (put > 0) {
            bytes.remove_prefix(static_cast<std::size_t>(put));
            continue;
        }
        if (Clock::now() >= end)
            return false;
        pollfd entry{fd_, waitFor, 0};
        ::poll(&entry, 1, remainingMs(end));
        if (entry.revents & (POLLERR | POLLHUP))
            return false;
    }
    return true;
}

void RawClient::halfClose() {
    if (fd_ >= 0)
        ::shutdown(fd_, SHUT_WR);
}

std::size_t RawClient::sendRepeated(std::string_view bytes, std::size_t total,
                                    milliseconds within) {
    const Clock::time_point end = Clock::now() + within;
    std::size_t sent = 0;
    while (sent < total && Clock::now() < end) {
        if (!send(bytes, milliseconds(remainingMs(end))))
            break;
        sent += bytes.size();
    }
    return sent;
}

long RawClient::readSome(milliseconds within) {
    if (fd_ < 0 || closed_)
        return -1;
    char buffer[16384];
    const Clock::time_point end = Clock::now() + within;
    while (true) {
        long got = -1;
        short waitFor = POLLIN;
        if (ssl_) {
            std::size_t n = 0;
            const int r = SSL_read_ex(ssl_, buffer, sizeof buffer, &n);
            if (r == 1) {
                got = static_cast<long>(n);
            } else {
                const int error = SSL_get_error(ssl_, r);
                if (error == SSL_ERROR_WANT_WRITE)
                    waitFor = POLLOUT;
                else if (error != SSL_ERROR_WANT_READ)
                    got = 0;
            }
        } else {
            got = ::recv(fd_, buffer, sizeof buffer, 0);
            if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                got = 0;
        }
        if (got == 0) {
            closed_ = true;
            return -1;
        }
        if (got > 0) {
            received_.append(buffer, static_cast<std::size_t>(got));
            return got;
        }
        if (Clock::now() >= end)
            return 0;
        pollfd entry{fd_, waitFor, 0};
        ::poll(&entry, 1, remainingMs(end));
    }
}

const std::string& RawClient::readUntil(std::string_view marker, milliseconds within) {
    const Clock::time_point end = Clock::now() + within;
    while (received_.find(marker) == std::string::npos && Clock::now() < end) {
        if (readSome(milliseconds(remainingMs(end))) < 0)
            break;
    }
    return received_;
}

bool RawClient::closedWithin(milliseconds within) {
    const Clock::time_point end = Clock::now() + within;
    while (Clock::now() < end) {
        if (readSome(milliseconds(remainingMs(end))) < 0)
            return true;
    }
    return closed_;
}

int statusFromIpv6Loopback(int port, std::string_view request) {
    const int fd = ::socket(AF_INET6, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in6 to{};
    to.sin6_family = AF_INET6;
    to.sin6_port = htons(static_cast<std::uint16_t>(port));
    to.sin6_addr = in6addr_loopback;
    std::string answer;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 &&
        ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(request.size())) {
        pollfd p{fd, POLLIN, 0};
        char piece[4096];
        while (answer.find("\r\n\r\n") == std::string::npos && ::poll(&p, 1, 5000) == 1) {
            const ssize_t n = ::recv(fd, piece, sizeof piece, 0);
            if (n <= 0) {
                break;
            }
            answer.append(piece, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return statusOf(answer);
}

int statusOf(std::string_view text) {
    // The last interim ("100 Continue") reply is skipped.
    while (text.substr(0, 9) == "HTTP/1.1 " && text.substr(9, 1) == "1") {
        const std::size_t end = text.find("\r\n\r\n");
        if (end == std::string_view::npos)
            return 0;
        text.remove_prefix(end + 4);
    }
    if (text.size() < 12 || text.substr(0, 5) != "HTTP/")
        return 0;
    const std::size_t space = text.find(' ');
    if (space == std::string_view::npos || space + 4 > text.size())
        return 0;
    return std::atoi(std::string(text.substr(space + 1, 3)).c_str());
}

long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atol(line.c_str() + 6);
    }
    return -1;
}

ChildProcess::ChildProcess(const std::vector<std::string>& argv) {
    // Made before fork(): the child of a threaded process may only call
    // what is safe in a signal handler until it runs the program.
    std::vector<char*> args;
    for (const std::string& arg : argv)
        args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    int pipeFds[2];
    if (args.size() < 2 || ::pipe2(pipeFds, O_CLOEXEC) != 0)
        return;
    pid_ = ::fork();
    if (pid_ == 0) {
        // A test that dies takes its server with it.
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        ::dup2(pipeFds[1], STDOUT_FILENO);
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    out_ = pipeFds[0];
    if (pid_ < 0) {
        ::close(out_);
        out_ = -1;
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0)
        ::close(out_);
}

bool ChildProcess::waitForOutput(std::string_view text, milliseconds within) {
    const Clock::time_point end = Clock::now() + within;
    while (output_.find(text) == std::string::npos) {
        pollfd entry{out_, POLLIN, 0};
        if (out_ < 0 || ::poll(&entry, 1, remainingMs(end)) <= 0)
            return false;
        char buffer[4096];
        const ssize_t got = ::read(out_, buffer, sizeof buffer);
        if (got <= 0)
            return false;
        output_.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
}

std::optional<ChildProcess::Ended> ChildProcess::terminate(milliseconds within) {
    if (pid_ <= 0)
        return std::nullopt;
    const Clock::time_point start = Clock::now();
    ::kill(pid_, SIGTERM);
    while (true) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return Ended{std::chrono::duration_cast<milliseconds>(Clock::now() - start), status};
        }
        if (Clock::now() - start >= within)
            return std::nullopt;  // the destructor kills it
        std::this_thread::sleep_for(milliseconds(10));
    }
}

}  // namespace yhz::testing
