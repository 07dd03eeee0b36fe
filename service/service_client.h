#pragma once
// The program's own service: service information at start, an access token
// for every queried plate, and the identifier the service knows this user by.

#include <chrono>
#include <optional>
#include <string>

#include "net/http_client.h"
#include "service/service_info.h"

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
    // caller checks the length), "" on failure.
    std::string accessToken(const std::string& userIdentifier) const;

    const std::string& baseAddress() const { return base_; }

    // Tight bounds for the start-up call, so that the main window opens
    // within a few seconds even when the service is down or hangs.
    static HttpLimits startLimits();

private:
    std::string base_;
    HttpClient client_;
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
