#include "update/replacement.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <vector>

#include "platform/files.h"
#include "platform/process.h"
#include "update/package_archive.h"
#include "update/rename_journal.h"

namespace yhz {
namespace {

namespace fs = std::filesystem;

std::string problemText(ArchiveProblem problem) {
    switch (problem) {
        case ArchiveProblem::None:
            return "none";
        case ArchiveProblem::Unreadable:
            return "the package is not a readable ZIP archive";
        case ArchiveProblem::UnsafeEntry:
            return "an entry would leave the program folder or is no plain file";
        case ArchiveProblem::Corrupt:
            return "the package is damaged";
        case ArchiveProblem::TooLarge:
            return "the package is too large";
        case ArchiveProblem::WriteFailed:
            return "the unpacked files could not be written";
        case ArchiveProblem::Stopped:
            return "stopped";
    }
    return "unknown";
}

using Kind = platform::FileKind;

Kind kindOf(const std::string& path) {
    const Kind kind = platform::fileKind(path);
    return kind == Kind::Link ? Kind::Other : kind;
}

std::string fileNameOf(const std::string& path) {
    return platform::utf8Text(platform::utf8Path(path).filename());
}

// The old program file goes once the new program runs. Windows keeps the
// file of a running program until its process ends, so there a hidden
// command removes it a few seconds after this process has ended.
void removeOldProgram(const std::string& path) {
    if (platform::removeFile(path) || platform::fileKind(path) != Kind::File) {
        return;
    }
    const std::string native = platform::utf8Text(platform::utf8Path(path).make_preferred());
    platform::startHiddenCommand(delayedRemovalCommand(native, 3000));
}

// Every folder the package needs in the program folder, parents first.
std::vector<std::string> foldersNeeded(const UnpackResult& unpacked) {
    std::set<std::string> folders(unpacked.directories.begin(), unpacked.directories.end());
    for (const std::string& file : unpacked.files) {
        for (size_t slash = file.find('/'); slash != std::string::npos;
             slash = file.find('/', slash + 1)) {
            folders.insert(file.substr(0, slash));
        }
    }
    std::vector<std::string> ordered(folders.begin(), folders.end());
    std::stable_sort(
        ordered.begin(), ordered.end(),
        [](const std::string& a, const std::string& b) { return a.size() < b.size(); });
    return ordered;
}

// Why the unpacked files cannot go into the folder as they are; "" when
// they can. Looked at before anything moves, so that a refusal changes
// nothing: every folder on the way must be a real folder (a link there
// would carry files out of the program folder), and no file may land on a
// folder or on a name the update itself uses.
std::string obstacle(const UpdatePaths& paths, const UnpackResult& unpacked,
                     const std::vector<std::string>& folders) {
    const std::set<std::string> reserved = {fileNameOf(paths.package),
                                            fileNameOf(paths.oldExecutable),
                                            fileNameOf(paths.newExecutable)};
    const std::string prefix = paths.directory + "/";
    for (const std::string& folder : folders) {
        const std::string top = folder.substr(0, folder.find('/'));
        if (reserved.count(top) > 0 || top.rfind(kStagingPrefix, 0) == 0) {
            return "the package holds the reserved name " + top;
        }
        const Kind kind = kindOf(prefix + folder);
        if (kind != Kind::Missing && kind != Kind::Folder) {
            return "the folder " + folder + " of the package is no folder here";
        }
    }
    for (const std::string& file : unpacked.files) {
        if (file == paths.unpackedName) {
            continue;
        }
        if (reserved.count(file) > 0 || file.rfind(kStagingPrefix, 0) == 0) {
            return "the package holds the reserved name " + file;
        }
        if (kindOf(prefix + file) == Kind::Folder) {
            return "the file " + file + " of the package would replace a folder";
        }
    }
    return {};
}

}  // namespace

UpdateStaging::UpdateStaging(const UpdatePaths& paths)
    : paths_(paths),
      folder_(platform::makeUniqueFolder(paths.directory + "/" + std::string(kStagingPrefix))) {
    if (folder_.empty()) {
        return;
    }
    journal_ =
        std::make_unique<RenameJournal>(paths.directory, folder_ + "/" + std::string(kJournalName));
    if (!journal_->ready() || !journal_->notePackage(paths.package)) {
        remove();
    }
}

UpdateStaging::~UpdateStaging() {
    if (journal_) {
        journal_->close();
    }
}

void UpdateStaging::remove() {
    keep();
    if (!folder_.empty()) {
        std::error_code ec;
        fs::remove_all(platform::utf8Path(folder_), ec);
    }
}

void UpdateStaging::keep() {
    std::error_code ec;
    fs::remove(platform::utf8Path(paths_.package), ec);
    if (journal_) {
        journal_->close();
    }
}

ReplaceResult replaceAndRestart(const UpdatePaths& paths, UpdateStaging& staging,
                                const std::string& runningExecutable, const ReplaceSteps& steps,
                                std::stop_token stop) {
    bool keepStaging = false;
    const std::string& folder = staging.folder();
    auto finish = [&](ReplaceOutcome outcome, std::string detail) {
        if (keepStaging) {
            staging.keep();
        } else {
            staging.remove();
        }
        return ReplaceResult{outcome, std::move(detail), keepStaging ? folder : std::string()};
    };
    if (!staging.ready()) {
        return finish(ReplaceOutcome::Refused, "no room to unpack in the program folder");
    }

    // Unpacked beside the program first: a package that does not unpack
    // whole never touches the program's own files.
    const std::string unpackedRoot = folder + "/unpacked";
    const std::string backupRoot = folder + "/backup";
    if (!platform::makeFolder(unpackedRoot, 0755) || !platform::makeFolder(backupRoot, 0700)) {
        return finish(ReplaceOutcome::Refused, "no room to unpack in the program folder");
    }
    const UnpackResult unpacked = unpackArchive(paths.package, unpackedRoot, stop);
    if (unpacked.problem == ArchiveProblem::Stopped) {
        return finish(ReplaceOutcome::Stopped, "stopped");
    }
    if (!unpacked.ok()) {
        return finish(ReplaceOutcome::Refused,
                      problemText(unpacked.problem) +
                          (unpacked.entry.empty() ? "" : " (" + unpacked.entry + ")"));
    }
    const std::string stagedExecutable = unpackedRoot + "/" + paths.unpackedName;
    if (kindOf(stagedExecutable) != Kind::File) {
        return finish(ReplaceOutcome::Refused,
                      "the package holds no program " + paths.unpackedName);
    }
    // Archives made on Windows carry no file modes.
    platform::makeExecutable(stagedExecutable);
    const std::vector<std::string> folders = foldersNeeded(unpacked);
    if (std::string why = obstacle(paths, unpacked, folders); !why.empty()) {
        return finish(ReplaceOutcome::Refused, why);
    }
    if (stop.stop_requested()) {
        return finish(ReplaceOutcome::Stopped, "stopped");
    }

    RenameJournal& journal = staging.journal();
    int backups = 0;
    auto undo = [&](std::string detail) {
        if (!journal.rollBack()) {
            // The files it could not return are only in there now.
            keepStaging = true;
            detail += "; not every change could be taken back, what was not is kept in " + folder;
        }
        return finish(ReplaceOutcome::RolledBack, std::move(detail));
    };
    // Puts `from` at `to`, keeping what was there for a rollback.
    auto place = [&](const std::string& from, const std::string& to) {
        if (kindOf(to) != Kind::Missing &&
            !journal.move(to, backupRoot + "/" + std::to_string(++backups))) {
            return false;
        }
        return journal.move(from, to);
    };

    const std::string prefix = paths.directory + "/";
    if (!samePath(runningExecutable, paths.oldExecutable) &&
        !journal.move(runningExecutable, paths.oldExecutable)) {
        return undo("the running program could not be moved aside");
    }
    for (const std::string& part : folders) {
        if (!journal.makeFolder(prefix + part)) {
            return undo("the folder " + part + " could not be made");
        }
    }
    for (const std::string& file : unpacked.files) {
        if (file != paths.unpackedName && !place(unpackedRoot + "/" + file, prefix + file)) {
            return undo("the file " + file + " could not be put in place");
        }
    }
    if (!place(stagedExecutable, paths.newExecutable)) {
        return undo("the new program could not be put in place");
    }

    if (!journal.noteStart(paths.newExecutable, paths.offeredVersion)) {
        return undo("the update's journal cannot be written");
    }
    if (steps.beforeStart) {
        steps.beforeStart();
    }
    const std::string confirmation = folder + "/" + std::string(kConfirmationName);
    if (!steps.start || !steps.start(paths.newExecutable, confirmation, stop)) {
        const bool mismatch = kindOf(folder + "/" + std::string(kMismatchName)) == Kind::File;
        ReplaceResult result = undo(mismatch ? "the new program is not the version the offer named"
                                             : "the new program did not confirm that it runs");
        result.versionMismatch = mismatch;
        return result;
    }
    // The update stays even if the lines below never run: the next start
    // finds it done (or confirmed) and only tidies up.
    journal.commit();
    removeOldProgram(paths.oldExecutable);
    return finish(ReplaceOutcome::Restarted, {});
}

}  // namespace yhz
