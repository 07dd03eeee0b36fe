#pragma once
// Renames and new folders that can be taken back, even by a later run. Each
// step is written to the journal file, and the file flushed to disk, before
// it is taken; so a replacement cut short by a crash or a power loss leaves
// a record from which the next start finishes or undoes it
// (update_recovery.h). Within the run, rollBack() undoes the steps that
// happened, newest first.

#include <string>
#include <vector>

namespace yhz {

class RenameJournal {
public:
    // Appends to `file` (created when missing), and holds a lock on it for
    // as long as it lives: a later run leaves a locked journal alone, since
    // its update is still going on.
    explicit RenameJournal(std::string file);
    ~RenameJournal();
    RenameJournal(const RenameJournal&) = delete;
    RenameJournal& operator=(const RenameJournal&) = delete;

    // False when the journal file could not be made or locked.
    bool ready() const { return fd_ >= 0; }

    // rename(2) of `from` to `to`, replacing a file there; false, with
    // nothing done, when the journal cannot be written or the rename fails.
    bool move(const std::string& from, const std::string& to);
    // Creates the folder `path` unless it is one already.
    bool makeFolder(const std::string& path);
    // The new program `path` is about to start: from here on only its
    // confirmation decides whether the update stays.
    bool noteStart(const std::string& path);

    // Undoes every step of this run, newest first, and forgets them; false
    // when one could not be undone (the rest are still tried).
    bool rollBack();
    // The update stays: written to the journal, and the steps forgotten.
    bool commit();

    // The journal's steps as a later run reads them.
    struct Step {
        enum Kind { Move, Folder, Start, Done } kind;
        std::string from;  // Move
        std::string to;    // Move, Folder, Start
    };
    // What `file` records, in order; a last line cut short by a crash is
    // not a step.
    static std::vector<Step> read(const std::string& file);
    // True when a living update holds the journal `file`.
    static bool inUse(const std::string& file);
    // Undoes the recorded steps that happened, newest first: a move whose
    // target is there and whose source is gone, a folder that is there and
    // empty. False when one that happened could not be undone.
    static bool undo(const std::vector<Step>& steps);

private:
    bool append(const std::string& line);

    std::string file_;
    int fd_ = -1;
    std::vector<Step> done_;  // steps of this run that happened
};

}  // namespace yhz
