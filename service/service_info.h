#pragma once
// Values the program receives from its own service at start-up.

#include <optional>
#include <string>

namespace yhz {

struct ServiceInfo {  // all texts GBK
    std::string latestVersion;
    std::string packageName;
    std::string packageAddress;
    std::string announcement;
    std::string serviceConfigJson;  // a JSON object; "url1" is the relay address
};

class ServiceInfoSource {
public:
    virtual ~ServiceInfoSource() = default;
    // nullopt when the service cannot be reached or answers nonsense.
    virtual std::optional<ServiceInfo> obtain() = 0;
};

// Stands in while no service is configured: behaves like a service that
// cannot be reached.
class UnavailableServiceInfo final : public ServiceInfoSource {
public:
    std::optional<ServiceInfo> obtain() override { return std::nullopt; }
};

}  // namespace yhz
