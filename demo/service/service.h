#pragma once
// The program's own service: the information texts, the service information,
// access tokens, the update package and the query relay.

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "demo/http/http_server.h"
#include "demo/http/rate_limit.h"
#include "demo/service/access_book.h"

namespace yhz::service {

struct ServiceOptions {
    std::string address = "127.0.0.1";
    int port = 18080;  // 0: any free port
    std::string databasePath = "yhz-service.sqlite";
    // Base address clients reach this service at; empty: http://address:port.
    std::string publicUrl;
    // The update package served at /update/package.zip; empty: none.
    std::string packagePath;
    // Overrides the published version of the settings when not empty.
    std::string latestVersion;
    // The publisher's Ed25519 private key (PEM): with it and a package, the
    // service information carries the package's size, SHA-256 and the
    // signature the program checks. Without it the offer is unsigned, and
    // the program takes no update.
    std::string signingKeyPath;
    // Time a relay lookup takes, as the real relay spends it asking upstream.
    // Spent on a timer: a waiting lookup holds no request thread.
    std::chrono::milliseconds relayDelay{100};
    // Relay lookups waiting at once, from everyone; beyond it a request is
    // answered 503 as busy and keeps its token. Each holds a connection the
    // engine cannot push out, so this and the engine's large replies
    // together leave most of its table to everything else.
    std::size_t maxPendingRelays = 256;
    AccessLimits access;
    long long maxUsers = 100000;
    // Users not seen for this long are forgotten when room is needed.
    std::chrono::seconds forgetUsersAfter = std::chrono::hours(24);
    // Per source address: identifiers seen for the first time, and tokens
    // not (yet) used by a relay request; a used token is given back. From one
    // address neither table can fill: 86400 new identifiers a day stay under
    // maxUsers, and 500 + 300 s x 50/s live tokens under access.maxTokens.
    web::RateRule newUsersPerAddress{60, 1};
    web::RateRule unusedTokensPerAddress{500, 50};
    web::Limits limits;
    // Called while a relay request holds its slot (tests use it to keep
    // requests in flight).
    std::function<void()> onRelayInFlight;
};

class Service {
public:
    // Opens the data file and starts serving; nullptr and a message in
    // `error` on failure.
    static std::unique_ptr<Service> start(ServiceOptions options, std::string* error);
    ~Service();
    Service(const Service&) = delete;
    Service& operator=(const Service&) = delete;

    int port() const;
    const std::string& publicUrl() const;
    // Ends every connection and joins every thread, whatever the clients do;
    // false when a request handler did not end within the bound.
    bool stop();

    struct Impl;

private:
    explicit Service(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

}  // namespace yhz::service
