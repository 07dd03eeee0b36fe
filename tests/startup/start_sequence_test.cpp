#include <gtest/gtest.h>

#include "service_client/package_offer.h"
#include "startup/start_sequence.h"
#include "support/recording_window.h"
#include "support/signing_key.h"
#include "text/encoding.h"

namespace yhz {
namespace {

struct FakeGuard : InstanceGuard {
    InstanceClaim answer = InstanceClaim::Acquired;
    int claims = 0;
    int releases = 0;
    InstanceClaim claim() override {
        ++claims;
        return answer;
    }
    void release() override { ++releases; }
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
    UpdateStartCheck check = UpdateStartCheck::Continue;
    UpdateStartCheck settleEarlierUpdates() override { return check; }
    bool replaceable = true;
    bool canReplaceProgram() const override { return replaceable; }
    int runs = 0;
    std::string version;
    ServiceInfo info;
    SignedPackage package;
    void runUpdate(const std::string& programVersion, const ServiceInfo& i,
                   const SignedPackage& p) override {
        ++runs;
        version = programVersion;
        info = i;
        package = p;
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

// An update of another run that lives makes this start a second instance,
// whose claim goes at once (that update's new program needs it); a run
// whose own update is being undone ends without a word. Neither asks the
// service, so neither can offer an update.
TEST(StartSequence, EarlierUpdatesAreSettledRightAfterTheClaim) {
    for (const UpdateStartCheck check : {UpdateStartCheck::SecondInstance, UpdateStartCheck::End}) {
        FakeGuard guard;
        FixedService service;
        service.info = published("2.1.3");
        test::RecordingWindow boxes;
        RecordingUpdater updater;
        updater.check = check;
        const StartResult r = runStartSequence(guard, service, boxes, updater);
        EXPECT_EQ(r.outcome, StartOutcome::Rejected);
        EXPECT_EQ(service.calls, 0);
        EXPECT_EQ(updater.runs, 0);
        EXPECT_EQ(guard.releases, 1);
        const bool second = check == UpdateStartCheck::SecondInstance;
        EXPECT_EQ(r.exitCode, second ? 0 : 1);
        ASSERT_EQ(boxes.messages.size(), second ? 1u : 0u);
        if (second) {
            EXPECT_EQ(boxes.messages[0].text, gbk("请勿重复打开！"));
        }
    }
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

// Any byte difference leads to the offer; only a newer version signed with
// the trusted key starts the updater. Everything else is said once, and the
// main window opens as if nothing were published.
TEST(StartSequence, OnlyASignedNewerPackageStartsTheUpdater) {
    const test::SigningKey publisher;
    const test::SigningKey stranger;
    const std::string package = "PK-the-package-bytes";
    enum class Expect { Update, Unsigned, NotNewer };
    struct Case {
        const char* version;
        const test::SigningKey* signer;  // nullptr: no signature at all
        std::string ServiceInfo::*tamper;
        Expect expect;
    };
    const Case cases[] = {
        {"2.1.3", &publisher, nullptr, Expect::Update},
        {"2.10", &publisher, nullptr, Expect::Update},
        {"2.1.3", nullptr, nullptr, Expect::Unsigned},
        {"2.1.3", &stranger, nullptr, Expect::Unsigned},
        {"2.1.3", &publisher, &ServiceInfo::packageSha256, Expect::Unsigned},
        {"2.1.3", &publisher, &ServiceInfo::packageName, Expect::Unsigned},
        {"2.1.1", &publisher, nullptr, Expect::NotNewer},
        {"2.1.2 ", &publisher, nullptr, Expect::NotNewer},
        {"V2.1.3", &publisher, nullptr, Expect::NotNewer},
        {"", &publisher, nullptr, Expect::NotNewer},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("\"") + c.version + "\"");
        FakeGuard guard;
        FixedService service;
        service.info = published(c.version);
        if (c.signer != nullptr) {
            c.signer->signOffer(*service.info, package);
        }
        if (c.tamper != nullptr) {
            (*service.info).*c.tamper = std::string(64, 'e');
        }
        test::RecordingWindow boxes;
        RecordingUpdater updater;
        const StartResult r =
            runStartSequence(guard, service, boxes, updater, publisher.publicHex());
        ASSERT_EQ(boxes.messages.size(), 1u);
        EXPECT_EQ(boxes.messages[0].caption, gbk("温馨提示："));
        if (c.expect == Expect::Update) {
            EXPECT_EQ(r.outcome, StartOutcome::Updated);
            EXPECT_EQ(boxes.messages[0].text,
                      gbk("当前版本需要更新,我们将会为您自动更新！请稍后..."));
            EXPECT_EQ(boxes.messages[0].icon, MessageIcon::Information);
            EXPECT_EQ(updater.runs, 1);
            EXPECT_EQ(updater.version, "2.1.2");
            EXPECT_EQ(updater.info.packageName, "yhz-2.1.3.zip");
            // The download is held to what was verified, not to the offer's texts.
            EXPECT_EQ(updater.package.size, static_cast<std::int64_t>(package.size()));
            EXPECT_EQ(updater.package.sha256, test::sha256Hex(package));
            continue;
        }
        EXPECT_EQ(r.outcome, StartOutcome::OpenMainWindow);
        EXPECT_TRUE(r.info.has_value());
        EXPECT_EQ(updater.runs, 0);
        EXPECT_EQ(boxes.messages[0].icon, MessageIcon::Warning);
        EXPECT_EQ(
            boxes.messages[0].text,
            c.expect == Expect::Unsigned
                ? gbk("发现新版本") + c.version +
                      gbk("，但无法确认其安装包来自本软件的发布者，本次不更新。")
                : gbk("服务器发布的版本") + c.version + gbk("不比当前版本2.1.2新，本次不更新。"));
    }
    // A build without a trusted key takes no offer at all.
    FakeGuard guard;
    FixedService service;
    service.info = published("2.1.3");
    publisher.signOffer(*service.info, package);
    test::RecordingWindow boxes;
    RecordingUpdater updater;
    EXPECT_EQ(runStartSequence(guard, service, boxes, updater, "").outcome,
              StartOutcome::OpenMainWindow);
    EXPECT_EQ(updater.runs, 0);
}

TEST(StartSequence, VersionsCompareAsDottedNumbers) {
    EXPECT_EQ(compareVersions("2.1.2", "2.1.2"), 0);
    EXPECT_EQ(compareVersions("2.1", "2.1.0"), 0);
    EXPECT_LT(*compareVersions("2.1.2", "2.1.10"), 0);
    EXPECT_GT(*compareVersions("3", "2.99.99"), 0);
    for (const char* bad : {"", "2..1", "2.1.", ".2", "2.1a", "-1", "2 .1"}) {
        EXPECT_EQ(compareVersions(bad, "2.1.2"), std::nullopt) << bad;
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
