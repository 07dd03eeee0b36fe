#pragma once
// Where the update window opens: after the update notice, modally, before
// any other window of the run.

#include <memory>
#include <string>
#include <vector>

#include "app/update_window/update_window.h"
#include "startup/start_sequence.h"

namespace yhz {

class InstanceLock;

class UpdateWindowLauncher final : public UpdateLauncher {
public:
    // `program` is this run's program file; `arguments` are the run's own,
    // where an updater that started it names its update.
    UpdateWindowLauncher(InstanceLock& instance, std::string program,
                         const std::vector<std::string>& arguments);
    ~UpdateWindowLauncher() override;

    // Shows the update window modally and returns when it has closed; the
    // window is kept for the end of the run (takeWindow).
    void runUpdate(const std::string& programVersion, const ServiceInfo& info,
                   const SignedPackage& package) override;
    // Only a portable program: an installed one is the package manager's.
    bool canReplaceProgram() const override;
    bool startedByUpdate() const override { return !handedOver_.empty(); }
    UpdateStartCheck settleEarlierUpdates() override;

    // The closed window, for endRun; null when none was opened.
    std::unique_ptr<UpdateWindow> takeWindow();

private:
    class OwnedMessages;

    InstanceLock& instance_;
    std::string program_;
    std::string handedOver_;  // the folder of the update that started this run
    std::unique_ptr<OwnedMessages> messages_;
    std::unique_ptr<UpdateWindow> window_;
};

}  // namespace yhz
