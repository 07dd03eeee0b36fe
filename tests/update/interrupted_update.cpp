// The program's side of updates that are cut short, as separate processes
// that the tests kill, pause and start again. C is a control folder: its
// instance.lock stands for the single-instance claim, notices.txt and
// windows.txt record what a start showed, and paused/go hold a paused
// update.
//
//   interrupted_update update C FOLDER RUNNING ADDRESS NAME VERSION SIZE SHA CRASH PAUSE
//     A whole update of FOLDER, from the claim to the confirmed restart,
//     that kills itself with SIGKILL at journal point CRASH, or pauses at
//     point PAUSE (at 1000: once the claim is let go, before the new program
//     starts) until C/go appears. Ends with 0 when restarted.
//   interrupted_update program C VERSION SELF [--confirm-update=...]
//     The start sequence of the program file SELF, version VERSION, up to
//     its main window; when C/notice-open exists, a notice stands before
//     the window and waits for good.
//   interrupted_update replace FOLDER RUNNING-PROGRAM PACKAGE-NAME VERSION confirm|hang
//     One replacement whose start step confirms when asked to and then
//     waits for good.

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "base/background_task.h"
#include "platform/files.h"
#include "startup/start_sequence.h"
#include "text/encoding.h"
#include "update/program_start.h"
#include "update/rename_journal.h"
#include "update/replacement.h"
#include "update/update_paths.h"
#include "update/update_recovery.h"
#include "update/updater.h"

namespace {

namespace fs = std::filesystem;

fs::path control;
int crashPoint = -1;
int pausePoint = -1;

void pauseHere() {
    std::ofstream{control / "paused"};
    while (!fs::exists(control / "go")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    fs::remove(control / "paused");
    fs::remove(control / "go");
}

void atPoint(int point) {
    if (point == crashPoint) {
        ::raise(SIGKILL);
    }
    if (point == pausePoint) {
        pauseHere();
    }
}

struct LockGuard : yhz::InstanceGuard {
    int fd = -1;
    yhz::InstanceClaim claim() override {
        release();
        fd = yhz::platform::openFile((control / "instance.lock").string(),
                                     yhz::platform::OpenMode::Keep);
        if (fd >= 0 && yhz::platform::tryLockFile(fd)) {
            return yhz::InstanceClaim::Acquired;
        }
        release();
        return yhz::InstanceClaim::HeldByAnother;
    }
    void release() override {
        if (fd >= 0) {
            yhz::platform::closeFile(fd);
            fd = -1;
        }
    }
};

void record(const char* file, const std::string& line) {
    std::ofstream(control / file, std::ios::app) << line << "\n";
}

struct Notices : yhz::MessageBoxes {
    yhz::MessageAnswer showMessage(const yhz::MessageRequest& request) override {
        record("notices.txt", yhz::localToUtf8(request.text));
        while (fs::exists(control / "notice-open")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return yhz::MessageAnswer::Ok;
    }
};

// With a notice open, the service offers a newer version it did not sign:
// the start says so before its window.
struct Service : yhz::ServiceInfoSource {
    std::optional<yhz::ServiceInfo> obtain() override {
        if (!fs::exists(control / "notice-open")) {
            return std::nullopt;
        }
        yhz::ServiceInfo info;
        info.latestVersion = "9.9.9";
        return info;
    }
};

struct Launcher : yhz::UpdateLauncher {
    std::string version, self, handedOver;
    void runUpdate(const std::string&, const yhz::ServiceInfo&,
                   const yhz::SignedPackage&) override {
        record("notices.txt", "update offered");
    }
    bool startedByUpdate() const override { return !handedOver.empty(); }
    yhz::UpdateStartCheck settleEarlierUpdates() override {
        const std::string folder = fs::path(self).parent_path().string();
        switch (yhz::settleEarlierUpdates(folder, self, version, handedOver).state) {
            case yhz::EarlierUpdate::RunsElsewhere:
                return yhz::UpdateStartCheck::SecondInstance;
            case yhz::EarlierUpdate::NotThisVersion:
            case yhz::EarlierUpdate::Unconfirmed:
                return yhz::UpdateStartCheck::End;
            default:
                return yhz::UpdateStartCheck::Continue;
        }
    }
};

int update(char* argv[]) {
    LockGuard claim;
    if (claim.claim() != yhz::InstanceClaim::Acquired) {
        return 3;
    }
    crashPoint = std::stoi(argv[10]);
    pausePoint = std::stoi(argv[11]);
    yhz::RenameJournal::observePoints(atPoint);
    yhz::UpdateRequest request{argv[7], argv[6], argv[5], argv[3], argv[4], std::stoll(argv[8]),
                               argv[9]};
    yhz::Updater::Options options;
    options.beforeStart = [&claim] {
        claim.release();
        atPoint(1000);
    };
    options.start = [](const std::string& path, const std::string& confirmation,
                       std::stop_token stop) {
        return yhz::startConfirmedProgram(path, confirmation, std::chrono::seconds(5), stop);
    };
    yhz::Updater updater(request, options);
    yhz::BackgroundTaskOwner tasks;
    if (!updater.start(tasks) || !tasks.waitIdle(std::chrono::seconds(60))) {
        return 4;
    }
    const yhz::UpdateProgress progress = updater.progress();
    if (!progress.message.empty()) {
        record("notices.txt", yhz::localToUtf8(progress.message));
    }
    return progress.phase == yhz::UpdatePhase::Restarted ? 0 : 1;
}

int program(int argc, char* argv[]) {
    LockGuard guard;
    Service service;
    Notices notices;
    Launcher launcher;
    launcher.version = argv[3];
    launcher.self = argv[4];
    const std::string argument = argc > 5 ? argv[5] : "";
    if (argument.rfind(yhz::kConfirmUpdateArgument, 0) == 0) {
        launcher.handedOver = argument.substr(yhz::kConfirmUpdateArgument.size());
    }
    const yhz::StartResult result = yhz::runStartSequence(guard, service, notices, launcher);
    if (result.outcome == yhz::StartOutcome::OpenMainWindow) {
        record("windows.txt", launcher.self);
    }
    return result.exitCode;
}

int replace(char* argv[]) {
    const auto paths = yhz::updatePaths(argv[2], argv[4], argv[5]);
    if (!paths) {
        return 2;
    }
    const bool confirm = std::string(argv[6]) == "confirm";
    yhz::ReplaceSteps steps;
    steps.start = [confirm](const std::string&, const std::string& confirmation, std::stop_token) {
        if (confirm) {
            std::ofstream{confirmation};
        }
        for (;;) {
            ::pause();
        }
        return false;
    };
    yhz::UpdateStaging staging(*paths);
    yhz::replaceAndRestart(*paths, staging, argv[3], steps);
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "update" && argc == 12) {
        control = argv[2];
        return update(argv);
    }
    if (mode == "program" && argc >= 5) {
        control = argv[2];
        return program(argc, argv);
    }
    if (mode == "replace" && argc == 7) {
        return replace(argv);
    }
    return 2;
}
