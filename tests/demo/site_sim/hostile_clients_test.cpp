// The simulator program as a process of its own against clients that
// misbehave over TLS: its memory stays put, others are served, SIGTERM ends
// it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "support/demo_ca.h"
#include "support/raw_client.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

namespace yhz::sim {
namespace {

using namespace std::chrono_literals;
using testing::RawClient;
using testing::ServerProcess;

constexpr const char* kHost = "js-yc.localhost";

class SimProcess : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(testing::makeDemoCa(dir.path()), 0);
        process = std::make_unique<ServerProcess>(
            std::vector<std::string>{YHZ_SIM_PROGRAM, "--port", "0", "--cert",
                                     (dir.path() / "server.pem").string(), "--key",
                                     (dir.path() / "server.key").string()},
            "localhost:(\\d+)");
        port = process->port();
        ASSERT_NE(port, 0) << process->output();
    }
    int page() {
        httplib::SSLClient c(kHost, port);
        c.set_hostname_addr_map({{kHost, "127.0.0.1"}});
        c.set_ca_cert_path((dir.path() / "ca.pem").string());
        c.enable_server_certificate_verification(true);
        c.set_read_timeout(5s);
        auto res = c.Get("/views/vehxhhdpub.html");
        return res ? res->status : 0;
    }

    testing::TempDir dir{"yhz-sim-hostile"};
    std::unique_ptr<ServerProcess> process;
    int port = 0;
};

TEST_F(SimProcess, HugeHeaderSectionsCostNoMemory) {
    ASSERT_EQ(page(), 200);
    const long before = testing::residentKiB(process->pid());
    constexpr std::size_t kAttempt = 30u * 1024 * 1024;
    for (int i = 0; i < 3; ++i) {
        RawClient flood(port, kHost);
        flood.send("GET /views/vehxhhdpub.html HTTP/1.1\r\nHost: js-yc.localhost\r\n");
        std::string lines;
        for (int n = 0; n < 500; ++n)
            lines += "X-Filler: " + std::string(100, 'f') + "\r\n";
        EXPECT_LT(flood.sendRepeated(lines, kAttempt, 10s), kAttempt / 4);
    }
    const long after = testing::residentKiB(process->pid());
    EXPECT_LT(after - before, 8 * 1024) << before << " KiB before, " << after << " KiB after";
    EXPECT_EQ(page(), 200);
}

TEST_F(SimProcess, ServesOthersWhileFortyClientsDripAndEndsPromptlyOnSigterm) {
    std::vector<std::unique_ptr<RawClient>> slow;
    for (int i = 0; i < 40; ++i) {
        slow.push_back(std::make_unique<RawClient>(port, kHost));
        slow.back()->send("GET /views/vehxhhdpub.html HTTP/1.1\r\nHost: js-yc.localhost\r\n");
    }
    // And some that connect and never even start the handshake.
    for (int i = 0; i < 10; ++i)
        slow.push_back(std::make_unique<RawClient>(port));
    for (int round = 0; round < 3; ++round) {
        for (auto& client : slow)
            client->send("X-More: 1\r\n");
        EXPECT_EQ(page(), 200);
    }
    EXPECT_TRUE(process->endsPromptlyOnSigterm());
}

// How a TLS connection that ends after its reply ends, as OpenSSL tells
// it: SSL_ERROR_ZERO_RETURN when the server sent its close_notify first,
// SSL_ERROR_SSL ("unexpected eof") for a bare end.
int howTlsEnds(int port, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
    SSL* ssl = SSL_new(ctx);
    SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name,
             const_cast<char*>(kHost));
    SSL_set_fd(ssl, fd);
    int result = -1;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to) == 0 && SSL_connect(ssl) == 1 &&
        SSL_write(ssl, request.data(), static_cast<int>(request.size())) > 0) {
        char piece[4096];
        int n = 0;
        while ((n = SSL_read(ssl, piece, sizeof piece)) > 0) {
        }
        result = SSL_get_error(ssl, n);
    }
    SSL_free(ssl);
    SSL_CTX_free(ctx);
    ::close(fd);
    return result;
}

TEST_F(SimProcess, EndsTlsWithItsOwnCloseNotify) {
    for (const std::string request : {
             // A reply that is the last on its connection, a refusal, and a
             // kept connection that goes idle.
             "GET /views/vehxhhdpub.html HTTP/1.1\r\nHost: js-yc.localhost\r\n"
             "Connection: close\r\n\r\n",
             "GET /views/vehxhhdpub.html HTTP/1.1\r\n\r\n",
             "GET /views/vehxhhdpub.html HTTP/1.1\r\nHost: js-yc.localhost\r\n\r\n",
         }) {
        EXPECT_EQ(howTlsEnds(port, request), SSL_ERROR_ZERO_RETURN) << request;
    }
}

}  // namespace
}  // namespace yhz::sim
