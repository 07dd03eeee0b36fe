#pragma once
// What happens between process start and the main window.

#include <optional>
#include <string>
#include <string_view>

#include "base/window_access.h"
#include "service_client/package_offer.h"
#include "service_client/service_info.h"

namespace yhz {

enum class InstanceClaim {
    Acquired,       // this is the only instance; the claim is held until the process ends
    HeldByAnother,  // another instance runs
    Unavailable,    // the marker cannot be made: run without protection
};

class InstanceGuard {
public:
    virtual ~InstanceGuard() = default;
    virtual InstanceClaim claim() = 0;
    // Gives an acquired claim up again.
    virtual void release() {}
};

// What the updates of earlier runs mean for this start.
enum class UpdateStartCheck {
    Continue,        // nothing, or this run's own update has been confirmed
    SecondInstance,  // another run's update is living: this start is a second instance
    End,             // this run must end quietly: its update is being undone
};

class UpdateLauncher {
public:
    virtual ~UpdateLauncher() = default;
    // Shows the update window modally and returns when it has closed.
    // `package` is what the signature vouches for, which the download must
    // match.
    virtual void runUpdate(const std::string& programVersion, const ServiceInfo& info,
                           const SignedPackage& package) = 0;
    // False for a program the package manager installed: it is never replaced.
    virtual bool canReplaceProgram() const { return true; }
    // True when an updater started this run, handing its single-instance
    // claim over.
    virtual bool startedByUpdate() const { return false; }
    // Right after the single-instance claim: recovers the updates earlier
    // runs left, confirms the one that started this run, and says whether
    // another run's update lives.
    virtual UpdateStartCheck settleEarlierUpdates() { return UpdateStartCheck::Continue; }
};

enum class StartOutcome { Rejected, Updated, OpenMainWindow };

struct StartResult {
    StartOutcome outcome = StartOutcome::OpenMainWindow;
    int exitCode = 0;                 // for Rejected and Updated
    std::optional<ServiceInfo> info;  // nullopt when the service could not be reached
    // The published version an installed program leaves to the package
    // manager (the main window says so in its log); empty when none.
    std::string versionForPackageManager;
};

// Single-instance rule (with the updates of earlier runs settled right
// after it, before anything waits for the user), then the version check: a
// published version other than the program's starts the updater when its
// package is signed with `updateKey` and the version is newer; otherwise one
// message says why not and the main window opens. The skin is applied by the caller before this
// runs, since the rejection notice is already a window.
StartResult runStartSequence(InstanceGuard& guard, ServiceInfoSource& service,
                             MessageBoxes& messages, UpdateLauncher& updater,
                             std::string_view updateKey = trustedUpdateKey());

}  // namespace yhz
