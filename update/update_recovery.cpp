#include "update/update_recovery.h"

#include <algorithm>
#include <filesystem>

#include "platform/files.h"
#include "update/rename_journal.h"
#include "update/replacement.h"
#include "update/update_paths.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;
using Step = RenameJournal::Step;

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

bool has(const std::vector<Step>& steps, Step::Kind kind) {
    return std::any_of(steps.begin(), steps.end(),
                       [kind](const Step& s) { return s.kind == kind; });
}

bool startedBy(const std::vector<Step>& steps, const std::string& program) {
    return std::any_of(steps.begin(), steps.end(), [&](const Step& s) {
        return s.kind == Step::Start && samePath(s.to, program);
    });
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

// The update stays: the old program and the unpacking folder go.
void finish(const std::vector<Step>& steps, const fs::path& staging,
            const std::string& runningExecutable) {
    std::error_code ec;
    const std::string old = oldProgramOf(steps, staging);
    if (!old.empty() && !samePath(old, runningExecutable)) {
        fs::remove(platform::utf8Path(old), ec);
    }
    fs::remove_all(staging, ec);
}

}  // namespace

RecoveryReport recoverInterruptedUpdates(const std::string& directory,
                                         const std::string& runningExecutable) {
    RecoveryReport report;
    for (const fs::path& staging : stagingFolders(directory)) {
        const std::string journal = platform::utf8Text(staging / kJournalName);
        if (RenameJournal::inUse(journal)) {
            continue;  // its update is going on right now
        }
        const std::vector<Step> steps = RenameJournal::read(journal);
        std::error_code ec;
        const bool confirmed = fs::exists(staging / kConfirmationName, ec);
        if (has(steps, Step::Done) || confirmed) {
            finish(steps, staging, runningExecutable);
            ++report.finished;
        } else if (startedBy(steps, runningExecutable)) {
            continue;  // this run is the new program; it confirms once its window shows
        } else if (RenameJournal::undo(steps)) {
            fs::remove_all(staging, ec);
            ++report.undone;
        } else {
            report.kept.push_back(platform::utf8Text(staging));
        }
    }
    return report;
}

void confirmUpdateStart(const std::string& directory, const std::string& runningExecutable) {
    for (const fs::path& staging : stagingFolders(directory)) {
        const std::string journal = platform::utf8Text(staging / kJournalName);
        const std::vector<Step> steps = RenameJournal::read(journal);
        if (!startedBy(steps, runningExecutable)) {
            continue;
        }
        const std::string marker = platform::utf8Text(staging / kConfirmationName);
        const int fd = platform::openFile(marker, platform::OpenMode::Keep, 0600);
        if (fd >= 0) {
            platform::syncFile(fd);
            platform::closeFile(fd);
        }
        // The run that started this one finishes the update once it sees the
        // mark; when it is gone already, this run does.
        if (!RenameJournal::inUse(journal)) {
            finish(steps, staging, runningExecutable);
        }
    }
}

}  // namespace yhz
