#include "update/update_recovery.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "platform/files.h"
#include "update/rename_journal.h"
#include "update/replacement.h"
#include "update/update_paths.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;
using Step = RenameJournal::Step;

// How long a confirmed program waits for the run that started it to finish
// the update: that run looks for the confirmation every 20 ms.
constexpr int kFinishPolls = 500;

// The unpacking folders of updates in the program folder.
std::vector<fs::path> stagingFolders(const std::string& directory) {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const fs::directory_entry& entry :
         fs::directory_iterator(platform::utf8Path(directory), ec)) {
        const std::string name = platform::utf8Text(entry.path().filename());
        if (name.rfind(kStagingPrefix, 0) == 0 && entry.is_directory(ec) && !entry.is_symlink(ec)) {
            found.push_back(entry.path());
        }
    }
    return found;
}

std::string journalOf(const fs::path& staging) {
    return platform::utf8Text(staging / kJournalName);
}

bool has(const std::vector<Step>& steps, Step::Kind kind) {
    return std::any_of(steps.begin(), steps.end(),
                       [kind](const Step& s) { return s.kind == kind; });
}

const Step* startOf(const std::vector<Step>& steps, const std::string& program) {
    const auto found = std::find_if(steps.begin(), steps.end(), [&](const Step& s) {
        return s.kind == Step::Start && samePath(s.to, program);
    });
    return found == steps.end() ? nullptr : &*found;
}

// The one move with both ends outside the unpacking folder: the old
// program put aside.
std::string oldProgramOf(const std::vector<Step>& steps, const fs::path& staging) {
    const std::string folder = platform::utf8Text(staging);
    for (const Step& s : steps) {
        if (s.kind == Step::Move && !insideFolder(s.from, folder) && !insideFolder(s.to, folder)) {
            return s.to;
        }
    }
    return {};
}

// The update stays: the old program, the package and the unpacking folder go.
void finish(const std::vector<Step>& steps, const fs::path& staging,
            const std::string& runningExecutable) {
    std::error_code ec;
    const std::string old = oldProgramOf(steps, staging);
    if (!old.empty() && !samePath(old, runningExecutable)) {
        fs::remove(platform::utf8Path(old), ec);
    }
    for (const Step& s : steps) {
        if (s.kind == Step::Package && platform::fileKind(s.to) == platform::FileKind::File) {
            platform::removeFile(s.to);
        }
    }
    fs::remove_all(staging, ec);
}

bool mark(const fs::path& staging, std::string_view name) {
    const int fd =
        platform::openFile(platform::utf8Text(staging / name), platform::OpenMode::Keep, 0600);
    if (fd < 0) {
        return false;
    }
    const bool synced = platform::syncFile(fd);
    return platform::closeFile(fd) && synced;
}

}  // namespace

RecoveryReport recoverInterruptedUpdates(const std::string& directory,
                                         const std::string& runningExecutable) {
    RecoveryReport report;
    for (const fs::path& staging : stagingFolders(directory)) {
        const std::string journal = journalOf(staging);
        if (RenameJournal::inUse(journal)) {
            continue;  // its update is going on right now
        }
        const std::optional<std::vector<Step>> steps = RenameJournal::read(journal);
        if (!steps) {
            report.refused.push_back(platform::utf8Text(staging));
            continue;
        }
        std::error_code ec;
        const bool confirmed = fs::exists(staging / kConfirmationName, ec);
        if (has(*steps, Step::Done) || confirmed) {
            finish(*steps, staging, runningExecutable);
            ++report.finished;
        } else if (startOf(*steps, runningExecutable) != nullptr) {
            continue;  // this run is the new program; its start checks decide
        } else if (RenameJournal::undo(*steps)) {
            fs::remove_all(staging, ec);
            ++report.undone;
        } else {
            report.kept.push_back(platform::utf8Text(staging));
        }
    }
    return report;
}

SettledUpdates settleEarlierUpdates(const std::string& directory,
                                    const std::string& runningExecutable,
                                    const std::string& programVersion,
                                    const std::string& handedOver) {
    SettledUpdates settled;
    for (const fs::path& staging : stagingFolders(directory)) {
        if (RenameJournal::inUse(journalOf(staging)) &&
            platform::utf8Text(staging.filename()) != handedOver) {
            settled.state = EarlierUpdate::RunsElsewhere;
            return settled;
        }
    }
    settled.recovery = recoverInterruptedUpdates(directory, runningExecutable);
    for (const fs::path& staging : stagingFolders(directory)) {
        const std::string journal = journalOf(staging);
        const std::optional<std::vector<Step>> steps = RenameJournal::read(journal);
        const Step* start = steps ? startOf(*steps, runningExecutable) : nullptr;
        bool living = RenameJournal::inUse(journal);
        if (start == nullptr || (living && platform::utf8Text(staging.filename()) != handedOver)) {
            continue;
        }
        if (start->version != programVersion) {
            // Confirming would keep a program that goes on offering itself
            // the same update; the run that started this one undoes it.
            std::fprintf(stderr, "yunhaizhou: this program is not the version its update named\n");
            if (!living) {
                std::error_code ec;
                if (RenameJournal::undo(*steps)) {
                    fs::remove_all(staging, ec);
                }
            } else {
                mark(staging, kMismatchName);
            }
            settled.state = EarlierUpdate::NotThisVersion;
            return settled;
        }
        if (!mark(staging, kConfirmationName)) {
            settled.state = EarlierUpdate::Unconfirmed;
            return settled;
        }
        settled.state = EarlierUpdate::Confirmed;
        // The run that started this one finishes the update once it sees the
        // mark; this run waits for that, so that no update of its own can
        // begin while the last one still has files to remove. What that run
        // committed it removes itself (or the next start does); an update it
        // left uncommitted, ending first, this run finishes.
        for (int k = 0; living && k < kFinishPolls; ++k) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            living = RenameJournal::inUse(journal);
        }
        const std::optional<std::vector<Step>> now = RenameJournal::read(journal);
        if (!living && platform::fileKind(journal) == platform::FileKind::File && now &&
            !has(*now, Step::Done)) {
            finish(*steps, staging, runningExecutable);
        }
    }
    return settled;
}

}  // namespace yhz
