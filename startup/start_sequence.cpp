#include "startup/start_sequence.h"

#include <chrono>
#include <thread>

#include "base/program_values.h"
#include "service_client/package_offer.h"
#include "text/encoding.h"

namespace yhz {

StartResult runStartSequence(InstanceGuard& guard, ServiceInfoSource& service,
                             MessageBoxes& messages, UpdateLauncher& updater,
                             std::string_view updateKey) {
    StartResult result;
    auto rejectSecondInstance = [&] {
        messages.showMessage(
            {gbk("请勿重复打开！"), gbk("友情提醒:"), MessageButtons::Ok, MessageIcon::None});
        result.outcome = StartOutcome::Rejected;
        return result;
    };
    InstanceClaim claim = guard.claim();
    // The run that started this one let its claim go just before; a second
    // start that took it meanwhile finds the living update and lets go.
    for (int k = 0; k < 50 && claim == InstanceClaim::HeldByAnother && updater.startedByUpdate();
         ++k) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        claim = guard.claim();
    }
    if (claim == InstanceClaim::HeldByAnother) {
        return rejectSecondInstance();
    }
    switch (updater.settleEarlierUpdates()) {
        case UpdateStartCheck::Continue:
            break;
        case UpdateStartCheck::SecondInstance:
            // Let go first, so that the new program of that update can claim.
            guard.release();
            return rejectSecondInstance();
        case UpdateStartCheck::End:
            guard.release();
            result.outcome = StartOutcome::Rejected;
            result.exitCode = 1;
            return result;
    }

    result.info = service.obtain();
    // Without the service there is nothing to compare with: an unreachable
    // service must not send every start into the updater.
    if (!result.info) {
        return result;
    }
    if (result.info->latestVersion == kProgramVersion) {
        return result;
    }
    // The updater could never replace a program the package manager owns:
    // every start would end in it and the main window never open. A newer
    // version is only mentioned in the log.
    if (!updater.canReplaceProgram()) {
        const std::optional<int> order =
            compareVersions(result.info->latestVersion, kProgramVersion);
        if (order && *order > 0) {
            result.versionForPackageManager = result.info->latestVersion;
        }
        return result;
    }
    // An offer that is not signed by the publisher's key, or not newer, is
    // turned down once and the program runs on as if none were published.
    const ServiceInfo& offer = *result.info;
    const OfferJudgement judgement = judgeOffer(offer, kProgramVersion, updateKey);
    switch (judgement.verdict) {
        case OfferVerdict::Take:
            messages.showMessage({gbk("当前版本需要更新,我们将会为您自动更新！请稍后..."),
                                  gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Information});
            updater.runUpdate(std::string(kProgramVersion), offer, judgement.package);
            result.outcome = StartOutcome::Updated;
            break;
        case OfferVerdict::Unsigned:
        case OfferVerdict::BadSignature:
            messages.showMessage({gbk("发现新版本") + offer.latestVersion +
                                      gbk("，但无法确认其安装包来自本软件的发布者，本次不更新。"),
                                  gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Warning});
            break;
        case OfferVerdict::NotNewer:
            messages.showMessage({gbk("服务器发布的版本") + offer.latestVersion +
                                      gbk("不比当前版本") + std::string(kProgramVersion) +
                                      gbk("新，本次不更新。"),
                                  gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Warning});
            break;
    }
    return result;
}

}  // namespace yhz
