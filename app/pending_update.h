#pragma once
// Where the update window opens. Until the updater is built, the run ends
// after the update notice without replacing anything.

#include "app/core/start_sequence.h"

namespace yhz {

class PendingUpdate final : public UpdateLauncher {
public:
    void runUpdate(const std::string& /*programVersion*/, const ServiceInfo& /*info*/) override {}
};

}  // namespace yhz
