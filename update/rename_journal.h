#pragma once
// Renames and new folders that can be taken back, even by a later run. Each
// step is written to the journal file, and the file flushed to disk, before
// it is taken; so a replacement cut short by a crash or a power loss leaves
// a record from which the next start finishes or undoes it
// (update_recovery.h). Within the run, rollBack() undoes the steps that
// happened, newest first.
//
// The journal names files relative to the program folder, the folder that
// holds the journal's own folder: a program folder moved (or a stick
// mounted elsewhere) between a crash and the next start recovers as if it
// had stayed.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace yhz {

class RenameJournal {
public:
    // Appends to `file` (created when missing), which lies in a folder of
    // the program folder `folder`, and holds a lock on it for as long as it
    // lives: a later run leaves a locked journal alone, since its update is
    // still going on.
    RenameJournal(std::string folder, std::string file);
    ~RenameJournal();
    RenameJournal(const RenameJournal&) = delete;
    RenameJournal& operator=(const RenameJournal&) = delete;

    // False when the journal file could not be made or locked.
    bool ready() const { return fd_ >= 0; }
    // Lets the file and its lock go (the file can then be removed on any
    // system); every later step fails.
    void close();

    // The package file `path` is about to be written: it goes with the
    // update, whether the update is finished or undone.
    bool notePackage(const std::string& path);
    // rename(2) of `from` to `to`, replacing a file there; false, with
    // nothing done, when the journal cannot be written or the rename fails.
    bool move(const std::string& from, const std::string& to);
    // Creates the folder `path` unless it is one already.
    bool makeFolder(const std::string& path);
    // The new program `path`, which the offer calls `version` (GBK), is
    // about to start: from here on only its confirmation decides whether
    // the update stays.
    bool noteStart(const std::string& path, const std::string& version);

    // Undoes every step of this run, newest first, and forgets them; false
    // when one could not be undone (the rest are still tried).
    bool rollBack();
    // The update stays: written to the journal, and the steps forgotten.
    bool commit();

    // The journal's steps as a later run reads them, with full paths in the
    // folder where the journal lies now.
    struct Step {
        enum Kind { Package, Move, Folder, Start, Done } kind;
        std::string from;     // Move
        std::string to;       // Package, Move, Folder, Start
        std::string version;  // Start
    };
    // Larger journals are no journal this program wrote.
    static constexpr std::uint64_t kMaxBytes = std::uint64_t{16} * 1024 * 1024;
    // What `file` records, in order; a last line cut short by a crash is not
    // a step, and a missing file records none. nullopt when the journal
    // must not be acted on: not a regular file (a link, a pipe), over
    // kMaxBytes, unreadable, or a line names a path outside the program
    // folder.
    static std::optional<std::vector<Step>> read(const std::string& file);
    // True when a living update holds the journal `file`.
    static bool inUse(const std::string& file);
    // Undoes the recorded steps that happened, newest first: a move whose
    // target is there and whose source is gone, a folder that is there and
    // empty, a package file. False when one that happened could not be
    // undone.
    static bool undo(const std::vector<Step>& steps);

    // Called with 1, 2, 3, ... at every point where a crash leaves a
    // different journal or folder: after each line is on disk, and after
    // the step it records has been taken. For tests that stop an update
    // at each of them in turn; null (the default) in the program.
    using PointObserver = void (*)(int point);
    static void observePoints(PointObserver observer);

private:
    bool append(const std::string& line);
    std::optional<std::string> relative(const std::string& path) const;
    void passPoint();

    std::string folder_;
    std::string file_;
    int fd_ = -1;
    std::vector<Step> done_;  // steps of this run that happened
};

}  // namespace yhz
