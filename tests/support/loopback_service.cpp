#include "support/loopback_service.h"

namespace yhz::test {

LoopbackService::LoopbackService(std::chrono::milliseconds relayDelay) {
    const std::string db = (folder_.path() / "service.sqlite").string();
    service::ServiceOptions options;
    options.port = 0;
    options.databasePath = db;
    options.relayDelay = relayDelay;
    // The first start seeds the demo content; the test's handle opens after.
    service_ = service::Service::start(options, &error_);
    if (service_ != nullptr) {
        registry_ = service::Registry::open(db, &error_);
    }
}

std::string LoopbackService::base() const {
    return "http://127.0.0.1:" + std::to_string(service_->port());
}

}  // namespace yhz::test
