#include "demo/http/request_stream.h"

#include <poll.h>

#include <algorithm>
#include <cstring>

namespace yhz::web {

namespace {
constexpr std::size_t kHoldBack = 64 * 1024;
// How often a blocked write looks at the stop flag.
constexpr std::chrono::milliseconds kStopCheck{50};
}  // namespace

RequestStream::RequestStream(std::string request, Transport& transport, const Peer& peer,
                             std::chrono::milliseconds writeStall,
                             const std::atomic<bool>& stopping)
    : request_(std::move(request)),
      transport_(transport),
      peer_(peer),
      writeStall_(writeStall),
      stopping_(stopping) {}

bool RequestStream::is_readable() const {
    return readPos_ < request_.size();
}

bool RequestStream::is_writable() const {
    return !failed_ && !stopping_;
}

ssize_t RequestStream::read(char* ptr, size_t size) {
    const std::size_t n = std::min(size, request_.size() - readPos_);
    std::memcpy(ptr, request_.data() + readPos_, n);
    readPos_ += n;
    return static_cast<ssize_t>(n);
}

ssize_t RequestStream::write(const char* ptr, size_t size) {
    if (failed_)
        return -1;
    pending_.append(ptr, size);
    if (pending_.size() >= kHoldBack && !flush())
        return -1;
    return static_cast<ssize_t>(size);
}

bool RequestStream::flush() {
    if (failed_)
        return false;
    const bool ok = sendAll(pending_.data(), pending_.size());
    pending_.clear();
    failed_ = !ok;
    return ok;
}

bool RequestStream::sendAll(const char* data, std::size_t size) {
    using Clock = std::chrono::steady_clock;
    Clock::time_point stalledSince = Clock::now();
    while (size > 0) {
        if (stopping_)
            return false;
        const IoResult result = transport_.write(data, size);
        if (result.state == Io::Done) {
            data += result.bytes;
            size -= result.bytes;
            stalledSince = Clock::now();
            continue;
        }
        if (result.state != Io::WantRead && result.state != Io::WantWrite)
            return false;
        if (Clock::now() - stalledSince >= writeStall_)
            return false;
        pollfd entry{transport_.fd(),
                     static_cast<short>(result.state == Io::WantRead ? POLLIN : POLLOUT), 0};
        ::poll(&entry, 1, static_cast<int>(kStopCheck.count()));
    }
    return true;
}

void RequestStream::get_remote_ip_and_port(std::string& ip, int& port) const {
    ip = peer_.remoteIp;
    port = peer_.remotePort;
}

void RequestStream::get_local_ip_and_port(std::string& ip, int& port) const {
    ip = peer_.localIp;
    port = peer_.localPort;
}

socket_t RequestStream::socket() const {
    return transport_.fd();
}

}  // namespace yhz::web
