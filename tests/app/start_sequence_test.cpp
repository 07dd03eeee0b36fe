#include <gtest/gtest.h>

#include "app/core/start_sequence.h"
#include "support/recording_window.h"
#include "text/encoding.h"

namespace yhz {
namespace {

struct FakeGuard : InstanceGuard {
    InstanceClaim answer = InstanceClaim::Acquired;
    InstanceClaim claim() override { return answer; }
};

struct FixedService : ServiceInfoSource {
    std::optional<ServiceInfo> info;
    int calls = 0;
    std::optional<ServiceInfo> obtain() override {
        ++calls;
        return info;
    }
};

struct RecordingUpdater : UpdateLauncher {
    bool replaceable = true;
    bool canReplaceProgram() const override { return replaceable; }
    int runs = 0;
    std::string version;
    ServiceInfo info;
    void runUpdate(const std::string& programVersion, const ServiceInfo& i) override {
        ++runs;
        version = programVersion;
        info = i;
    }
};

ServiceInfo published(std::string version) {
    ServiceInfo info;
    info.latestVersion = std::move(version);
    info.packageName = "yhz-2.1.3.zip";
    return info;
}

TEST(StartSequence, SecondInstanceIsRejectedBeforeAnythingElse) {
    FakeGuard guard;
    guard.answer = InstanceClaim::HeldByAnother;
    FixedService service;
    test::RecordingWindow boxes;
    RecordingUpdater updater;
    const StartResult r = runStartSequence(guard, service, boxes, updater);
    EXPECT_EQ(r.outcome, StartOutcome::Rejected);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(service.calls, 0);
    ASSERT_EQ(boxes.messages.size(), 1u);
    EXPECT_EQ(boxes.messages[0].text, gbk("请勿重复打开！"));
    EXPECT_EQ(boxes.messages[0].caption, gbk("友情提醒:"));
    EXPECT_EQ(boxes.messages[0].icon, MessageIcon::None);
}

TEST(StartSequence, EqualVersionOpensTheMainWindow) {
    for (const InstanceClaim claim : {InstanceClaim::Acquired, InstanceClaim::Unavailable}) {
        FakeGuard guard;
        guard.answer = claim;
        FixedService service;
        service.info = published("2.1.2");
        test::RecordingWindow boxes;
        RecordingUpdater updater;
        const StartResult r = runStartSequence(guard, service, boxes, updater);
        EXPECT_EQ(r.outcome, StartOutcome::OpenMainWindow);
        EXPECT_TRUE(r.info.has_value());
        EXPECT_TRUE(boxes.messages.empty());
        EXPECT_EQ(updater.runs, 0);
    }
}

TEST(StartSequence, AnyByteDifferenceStartsTheUpdater) {
    for (const char* version : {"2.1.3", "2.1.2 ", "2.1.1", "", "2.1.2\t", "V2.1.2"}) {
        FakeGuard guard;
        FixedService service;
        service.info = published(version);
        test::RecordingWindow boxes;
        RecordingUpdater updater;
        const StartResult r = runStartSequence(guard, service, boxes, updater);
        EXPECT_EQ(r.outcome, StartOutcome::Updated) << '"' << version << '"';
        ASSERT_EQ(boxes.messages.size(), 1u);
        EXPECT_EQ(boxes.messages[0].text, gbk("当前版本需要更新,我们将会为您自动更新！请稍后..."));
        EXPECT_EQ(boxes.messages[0].caption, gbk("温馨提示："));
        EXPECT_EQ(boxes.messages[0].icon, MessageIcon::Information);
        EXPECT_EQ(updater.runs, 1);
        EXPECT_EQ(updater.version, "2.1.2");
        EXPECT_EQ(updater.info.packageName, "yhz-2.1.3.zip");
    }
}

TEST(StartSequence, AnInstalledProgramLeavesANewVersionToThePackageManager) {
    FakeGuard guard;
    FixedService service;
    service.info = published("2.1.3");
    test::RecordingWindow boxes;
    RecordingUpdater updater;
    updater.replaceable = false;
    const StartResult r = runStartSequence(guard, service, boxes, updater);
    EXPECT_EQ(r.outcome, StartOutcome::OpenMainWindow);
    EXPECT_EQ(r.versionForPackageManager, "2.1.3");
    EXPECT_EQ(updater.runs, 0);
    EXPECT_TRUE(boxes.messages.empty());
    // Nothing to say when the versions agree.
    service.info = published("2.1.2");
    EXPECT_EQ(runStartSequence(guard, service, boxes, updater).versionForPackageManager, "");
}

TEST(StartSequence, UnreachableServiceSkipsTheVersionCheck) {
    FakeGuard guard;
    FixedService service;  // no info
    test::RecordingWindow boxes;
    RecordingUpdater updater;
    const StartResult r = runStartSequence(guard, service, boxes, updater);
    EXPECT_EQ(r.outcome, StartOutcome::OpenMainWindow);
    EXPECT_FALSE(r.info.has_value());
    EXPECT_EQ(updater.runs, 0);
    EXPECT_TRUE(boxes.messages.empty());
}

}  // namespace
}  // namespace yhz
