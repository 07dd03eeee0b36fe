#include "net/demo_certificate.h"

#include <gtest/gtest.h>
#include <openssl/x509.h>

#include "net/http_client.h"
#include "support/loopback.h"

namespace yhz {
namespace {

std::string der(X509* cert) {
    unsigned char* bytes = nullptr;
    const int size = i2d_X509(cert, &bytes);
    std::string out(reinterpret_cast<char*>(bytes), static_cast<size_t>(size));
    OPENSSL_free(bytes);
    return out;
}

TEST(DemoCertificate, onlyTheSimulatorsNames) {
    for (const char* host : {"localhost", "js-yc.localhost", "BJ.LOCALHOST", "a.b.localhost"}) {
        EXPECT_TRUE(isDemoHost(host)) << host;
    }
    for (const char* host : {"", "127.0.0.1", ".localhost", "x..localhost", "localhost.com",
                             "evillocalhost", "bj.localhost.evil.cn", "example.com"}) {
        EXPECT_FALSE(isDemoHost(host)) << host;
    }
}

TEST(DemoCertificate, issuedByTheTrustedAuthorityForTheName) {
    test::TestCa ca;
    test::KeyAndCert server = ca.issueServer();
    const std::string issued = der(server.cert);
    EXPECT_TRUE(issuedByAuthorityFor(issued, "localhost", ca.pemPath()));
    EXPECT_FALSE(issuedByAuthorityFor(issued, "js-yc.localhost", ca.pemPath()))
        << "a name the certificate does not hold";
    test::KeyAndCert self = test::TestCa::selfSigned();
    EXPECT_FALSE(issuedByAuthorityFor(der(self.cert), "localhost", ca.pemPath()));
    test::TestCa other;
    EXPECT_FALSE(issuedByAuthorityFor(issued, "localhost", other.pemPath()));
    EXPECT_FALSE(issuedByAuthorityFor(issued, "localhost", "/nonexistent/ca.pem"));
    EXPECT_FALSE(issuedByAuthorityFor("not a certificate", "localhost", ca.pemPath()));
    EXPECT_FALSE(
        issuedByAuthorityFor(issued.substr(0, issued.size() / 2), "localhost", ca.pemPath()));

    // The browser's decision follows what the request client trusts: a
    // build on the system's store makes no exception at all.
    HttpClient::setCaBundle(ca.pemPath());
    EXPECT_TRUE(acceptDemoCertificate(issued, "localhost"));
    HttpClient::setCaBundle("");
    EXPECT_FALSE(acceptDemoCertificate(issued, "localhost"));
}

}  // namespace
}  // namespace yhz
