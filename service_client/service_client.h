#pragma once
// The program's own service: service information at start, the information
// server's texts, an access token for every queried plate, and the
// identifier the service knows this user by. Every request of a client and
// of the clients made from it by connections() goes over the same kept
// connections: the one made for the service information at start carries
// the information texts, the tokens and (on the same host) the relay's rows.

#include <chrono>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>

#include "net/http_client.h"
#include "service_client/service_info.h"

namespace yhz {

class ServiceClient final : public ServiceInfoSource {
public:
    // `baseAddress` like "http://127.0.0.1:18080", without a final "/".
    explicit ServiceClient(std::string baseAddress, HttpLimits limits = startLimits());

    // GET "/api/service-info". nullopt when the service cannot be reached,
    // answers with a status other than 200 or not with the expected JSON
    // object; texts come back in GBK.
    std::optional<ServiceInfo> obtain() override;

    // A fresh token for `userIdentifier`; whatever the service answered (the
    // caller checks the length), "" on failure or once `stop` is asked for.
    // Asked with the ordinary bounds: a service slow to hand one out must
    // not fail the row the way the start-up call gives up.
    std::string accessToken(const std::string& userIdentifier, std::stop_token stop = {}) const;

    // GET of a path ("/GetText.php") on the information server, which is the
    // service itself: the body bytes, empty on failure or on stop.
    std::string information(std::string_view path, std::stop_token stop = {}) const;

    // A client with other bounds over the same kept connections.
    HttpClient connections(HttpLimits limits) const { return client_.withLimits(limits); }

    const std::string& baseAddress() const { return base_; }

    // Tight bounds for the start-up call, so that the main window opens
    // within a few seconds even when the service is down or hangs.
    static HttpLimits startLimits();

private:
    std::string base_;
    HttpClient client_;  // start-up bounds
    HttpClient tokens_;  // ordinary bounds, same connections
    HttpClient texts_;   // the information texts' bounds, same connections
};

// Stable for this machine (derived from its machine id) and therefore for
// the whole run; never random per start.
std::string userIdentifier();
// The derivation itself, from a machine id text.
std::string userIdentifierFor(std::string_view machineId);

// The service information out of the JSON answer (UTF-8); nullopt when it is
// not an object with a text "latestVersion".
std::optional<ServiceInfo> parseServiceInfo(std::string_view utf8Json);

}  // namespace yhz
