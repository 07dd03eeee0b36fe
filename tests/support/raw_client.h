#pragma once
// Clients that behave badly on purpose, for the demo servers' tests: a raw
// connection (plain or TLS) that sends exactly the bytes it is given
// (headers that never end, bodies that never come) and reads what comes
// back, every step bounded in time; and a server program run as a process of
// its own, for what only a process shows (its memory, how it takes SIGTERM).

#include <openssl/ssl.h>
#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace yhz::testing {

using std::chrono::milliseconds;

class RawClient {
public:
    // Connects to 127.0.0.1:port; with `tlsHost`, also makes a TLS handshake
    // naming that host (the certificate is not checked).
    explicit RawClient(int port, const std::string& tlsHost = {});
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    // False when the server has closed the connection or `within` ran out.
    bool send(std::string_view bytes, milliseconds within = milliseconds(2000));
    // Sends `bytes` again and again until `total` bytes went out or sending
    // fails; answers how many went out.
    std::size_t sendRepeated(std::string_view bytes, std::size_t total,
                             milliseconds within = milliseconds(5000));
    // Reads until `marker` has arrived, the server closes or `within` ran
    // out; answers everything received so far.
    const std::string& readUntil(std::string_view marker, milliseconds within);
    // Ends the sending side with a bare TCP FIN, without a TLS close_notify
    // first: what a client does that simply shuts its socket down.
    void halfClose();
    // True when the server closed the connection within the time.
    bool closedWithin(milliseconds within);
    const std::string& received() const { return received_; }

private:
    // -1: closed or failed, 0: nothing within the time.
    long readSome(milliseconds within);

    int fd_ = -1;
    SSL_CTX* ctx_ = nullptr;
    SSL* ssl_ = nullptr;
    std::string received_;
    bool closed_ = false;
};

// The status of the first reply in `text`; 0 when there is none.
int statusOf(std::string_view text);

// Sends one request from ::1 (a client address apart from every 127.x.y.z)
// to the port and answers the status of its reply, 0 when none came within
// five seconds.
int statusFromIpv6Loopback(int port, std::string_view request);

// Resident memory of a process in KiB; -1 when unknown.
long residentKiB(pid_t pid);

class ChildProcess {
public:
    // Starts the program with its standard output read by the test.
    explicit ChildProcess(const std::vector<std::string>& argv);
    ~ChildProcess();  // kills it if it still runs
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }
    const std::string& output() const { return output_; }
    bool waitForOutput(std::string_view text, milliseconds within);
    // Sends SIGTERM and waits for the end. The time it took and the exit
    // status; nullopt when it did not end within `within` (it is then killed).
    struct Ended {
        milliseconds after;
        int status;
    };
    std::optional<Ended> terminate(milliseconds within);

private:
    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

}  // namespace yhz::testing
