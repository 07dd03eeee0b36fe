#pragma once
// The replacement after the download: unpack the package, put the new
// program in place under its versioned name, start it, and remove the old
// one only once the new one runs. The folder always keeps a program that
// starts: whatever fails, every change is taken back.

#include <functional>
#include <memory>
#include <stop_token>
#include <string>
#include <string_view>

#include "update/rename_journal.h"
#include "update/update_paths.h"

namespace yhz {

struct ReplaceSteps {
    // Runs just before the new program starts (this run lets its
    // single-instance claim go here, or the new program would meet it).
    std::function<void()> beforeStart;
    // Starts the program file; true once it has confirmed that it runs by
    // making the file `confirmation` (see settleEarlierUpdates()).
    std::function<bool(const std::string& path, const std::string& confirmation,
                       std::stop_token stop)>
        start;
};

enum class ReplaceOutcome {
    Restarted,   // the new program runs; the old file and the package are gone
    Refused,     // the package would not do; nothing in the folder was changed
    RolledBack,  // a rename or the start failed; every change was taken back
    Stopped,     // the run is ending; nothing in the folder was changed
};

struct ReplaceResult {
    ReplaceOutcome outcome = ReplaceOutcome::Refused;
    std::string detail;  // what went wrong, for the program's error output
    // After a rollback that could not put everything back: the folder kept
    // with the files it could not return (its "backup" holds the user's).
    std::string keptFolder;
    // The new program said that it is not the version the offer named.
    bool versionMismatch = false;
};

// The name every unpacking folder of an update starts with, in the program
// folder; its journal and the new program's confirmation lie in it.
inline constexpr std::string_view kStagingPrefix = ".yhz-update-";
inline constexpr std::string_view kJournalName = "journal";
inline constexpr std::string_view kConfirmationName = "confirmed";
// Made instead of the confirmation by a new program that is not the version
// the offer named.
inline constexpr std::string_view kMismatchName = "not-this-version";

// The unpacking folder of one update with its journal, locked, made before
// the package is downloaded: from the first byte on, a crash leaves a
// journal that names the package, and a second start finds the update
// living.
class UpdateStaging {
public:
    explicit UpdateStaging(const UpdatePaths& paths);
    ~UpdateStaging();
    UpdateStaging(const UpdateStaging&) = delete;
    UpdateStaging& operator=(const UpdateStaging&) = delete;

    bool ready() const { return journal_ && journal_->ready(); }
    const std::string& folder() const { return folder_; }
    RenameJournal& journal() { return *journal_; }
    // The update is over with nothing left to undo: the package, the
    // journal and the folder go.
    void remove();
    // The folder stays with its journal for a later start (the journal's
    // lock goes); the package goes.
    void keep();

private:
    const UpdatePaths& paths_;
    std::string folder_;
    std::unique_ptr<RenameJournal> journal_;
};

// Works on the package file of `paths` in `staging`; the package is removed
// whatever happens. `runningExecutable` is the program file of this run, in
// the folder.
ReplaceResult replaceAndRestart(const UpdatePaths& paths, UpdateStaging& staging,
                                const std::string& runningExecutable, const ReplaceSteps& steps,
                                std::stop_token stop = {});

}  // namespace yhz
