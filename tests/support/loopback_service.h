#pragma once
// The service program on an ephemeral loopback port, its data file in a
// folder of its own, and a second handle on that file through which a test
// takes or frees plates in the registry the relay answers from.

#include <chrono>
#include <memory>
#include <string>

#include "demo/service/registry.h"
#include "demo/service/service.h"
#include "support/temp_dir.h"

namespace yhz::test {

class LoopbackService {
public:
    explicit LoopbackService(std::chrono::milliseconds relayDelay);
    LoopbackService(const LoopbackService&) = delete;
    LoopbackService& operator=(const LoopbackService&) = delete;

    // False, with the reason in error(), when the service or its data file
    // did not open; nothing else may be used then.
    bool started() const { return service_ != nullptr && registry_ != nullptr; }
    const std::string& error() const { return error_; }

    // http://127.0.0.1:port, and the relay under it.
    std::string base() const;
    std::string relay() const { return base() + "/relay"; }
    service::Registry& registry() { return *registry_; }

private:
    // In this order, so the handle closes before the service stops, and both
    // before their folder goes.
    testing::TempDir folder_{"yhz-service"};
    std::string error_;
    std::unique_ptr<service::Service> service_;
    std::unique_ptr<service::Registry> registry_;
};

}  // namespace yhz::test
