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
    // What the publisher signed about the package: its size in bytes
    // (decimal), its SHA-256 (64 lower-case hex digits) and the Ed25519
    // signature of both with the name and version (base64). Empty when the
    // service sent none.
    std::string packageSize;
    std::string packageSha256;
    std::string packageSignature;
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
