#include "support/loopback.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <vector>

namespace yhz::test {
namespace {

EVP_PKEY* newKey() {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    if (key == nullptr) {
        throw std::runtime_error("key generation failed");
    }
    return key;
}

void addExtension(X509* cert, X509* issuer, int nid, const char* value) {
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (ext == nullptr) {
        throw std::runtime_error("bad certificate extension");
    }
    X509_add_ext(cert, ext, -1);
    X509_EXTENSION_free(ext);
}

KeyAndCert makeCert(const char* commonName, const KeyAndCert* issuer, bool isCa) {
    KeyAndCert out;
    out.key = newKey();
    out.cert = X509_new();
    X509_set_version(out.cert, 2);
    static long serial = 1;
    ASN1_INTEGER_set(X509_get_serialNumber(out.cert), serial++);
    X509_gmtime_adj(X509_getm_notBefore(out.cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(out.cert), 24 * 3600);
    X509_set_pubkey(out.cert, out.key);
    X509_NAME* name = X509_get_subject_name(out.cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
    X509* issuerCert = issuer != nullptr ? issuer->cert : out.cert;
    EVP_PKEY* issuerKey = issuer != nullptr ? issuer->key : out.key;
    X509_set_issuer_name(out.cert, X509_get_subject_name(issuerCert));
    if (isCa) {
        addExtension(out.cert, issuerCert, NID_basic_constraints, "critical,CA:TRUE");
        addExtension(out.cert, issuerCert, NID_key_usage, "critical,keyCertSign,cRLSign");
        addExtension(out.cert, issuerCert, NID_subject_key_identifier, "hash");
    } else {
        addExtension(out.cert, issuerCert, NID_basic_constraints, "CA:FALSE");
        addExtension(out.cert, issuerCert, NID_subject_alt_name, "DNS:localhost,IP:127.0.0.1");
        addExtension(out.cert, issuerCert, NID_ext_key_usage, "serverAuth");
    }
    if (X509_sign(out.cert, issuerKey, EVP_sha256()) == 0) {
        throw std::runtime_error("signing failed");
    }
    return out;
}

}  // namespace

KeyAndCert::~KeyAndCert() {
    X509_free(cert);
    EVP_PKEY_free(key);
}

TestCa::TestCa() : ca_(makeCert("yhz test CA", nullptr, true)) {
    char tmpl[] = "/tmp/yhz-test-ca-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = tmpl;
    pemPath_ = dir_ + "/ca.pem";
    FILE* f = std::fopen(pemPath_.c_str(), "w");
    if (f == nullptr || PEM_write_X509(f, ca_.cert) == 0) {
        throw std::runtime_error("cannot write the CA file");
    }
    std::fclose(f);
}

TestCa::~TestCa() {
    std::remove(pemPath_.c_str());
    rmdir(dir_.c_str());
}

KeyAndCert TestCa::issueServer() const {
    return makeCert("127.0.0.1", &ca_, false);
}

KeyAndCert TestCa::selfSigned() {
    return makeCert("127.0.0.1", nullptr, false);
}

RunningServer::RunningServer(std::unique_ptr<httplib::Server> server) : server_(std::move(server)) {
    port_ = server_->bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("cannot bind a loopback port");
    }
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server_->is_running() && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

RunningServer::~RunningServer() {
    while (!server_->is_running() && thread_.joinable()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    server_->stop();
    thread_.join();
}

int boundLoopbackSocket(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        throw std::runtime_error("cannot bind a loopback socket");
    }
    socklen_t len = sizeof addr;
    getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

int acceptWithin(int fd, int withinMs) {
    pollfd listening{fd, POLLIN, 0};
    if (poll(&listening, 1, withinMs) <= 0) {
        return -1;
    }
    return accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
}

SilentListener::SilentListener() {
    fd_ = boundLoopbackSocket(port_);
    if (listen(fd_, 16) != 0) {
        throw std::runtime_error("listen failed");
    }
}

SilentListener::~SilentListener() {
    close(fd_);
}

DrippingServer::DrippingServer(std::chrono::milliseconds interval) : interval_(interval) {
    fd_ = boundLoopbackSocket(port_);
    if (listen(fd_, 16) != 0) {
        throw std::runtime_error("listen failed");
    }
    thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
}

DrippingServer::~DrippingServer() {
    thread_.request_stop();
    thread_.join();
    close(fd_);
}

void DrippingServer::serve(std::stop_token stop) {
    std::vector<int> clients;
    auto next = std::chrono::steady_clock::now();
    while (!stop.stop_requested()) {
        const int taken = acceptWithin(fd_, 20);
        if (taken >= 0) {
            static constexpr char kHead[] =
                "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                "Content-Length: 100000000\r\n\r\n";
            (void)send(taken, kHead, sizeof kHead - 1, MSG_NOSIGNAL);
            clients.push_back(taken);
        }
        if (std::chrono::steady_clock::now() >= next) {
            next += interval_;
            for (int client : clients) {
                (void)send(client, "x", 1, MSG_NOSIGNAL);
            }
        }
    }
    for (int client : clients) {
        close(client);
    }
}

RawReplyServer::RawReplyServer(std::string reply) : reply_(std::move(reply)) {
    fd_ = boundLoopbackSocket(port_);
    if (listen(fd_, 16) != 0) {
        throw std::runtime_error("listen failed");
    }
    thread_ = std::jthread([this](std::stop_token stop) { serve(stop); });
}

RawReplyServer::~RawReplyServer() {
    thread_.request_stop();
    thread_.join();
    close(fd_);
}

void RawReplyServer::serve(std::stop_token stop) {
    while (!stop.stop_requested()) {
        const int client = acceptWithin(fd_, 20);
        if (client < 0) {
            continue;
        }
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            pollfd readable{client, POLLIN, 0};
            if (poll(&readable, 1, 2000) <= 0) {
                break;
            }
            const ssize_t got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) {
                break;
            }
            request.append(buffer, static_cast<size_t>(got));
        }
        (void)send(client, reply_.data(), reply_.size(), MSG_NOSIGNAL);
        close(client);
    }
}

int closedPort() {
    int port = 0;
    close(boundLoopbackSocket(port));
    return port;
}

}  // namespace yhz::test
