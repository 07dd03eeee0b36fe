#include "app/core/start_sequence.h"

#include "base/program_values.h"
#include "text/encoding.h"

namespace yhz {

StartResult runStartSequence(InstanceGuard& guard, ServiceInfoSource& service,
                             MessageBoxes& messages, UpdateLauncher& updater) {
    StartResult result;
    if (guard.claim() == InstanceClaim::HeldByAnother) {
        messages.showMessage(
            {gbk("请勿重复打开！"), gbk("友情提醒:"), MessageButtons::Ok, MessageIcon::None});
        result.outcome = StartOutcome::Rejected;
        return result;
    }

    result.info = service.obtain();
    // Without the service there is nothing to compare with: an unreachable
    // service must not send every start into the updater.
    if (!result.info) {
        return result;
    }
    if (result.info->latestVersion != kProgramVersion) {
        // The updater could never replace a program the package manager
        // owns: every start would end in it and the main window never open.
        if (!updater.canReplaceProgram()) {
            result.versionForPackageManager = result.info->latestVersion;
            return result;
        }
        messages.showMessage({gbk("当前版本需要更新,我们将会为您自动更新！请稍后..."),
                              gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Information});
        updater.runUpdate(std::string(kProgramVersion), *result.info);
        result.outcome = StartOutcome::Updated;
    }
    return result;
}

}  // namespace yhz
