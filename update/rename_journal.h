#pragma once
// Renames and new folders that can be taken back: each step is recorded
// when it has happened, and rollBack() undoes them newest first, so that a
// replacement that fails part of the way leaves the folder as it found it.

#include <string>
#include <vector>

namespace yhz {

class RenameJournal {
public:
    RenameJournal() = default;
    RenameJournal(const RenameJournal&) = delete;
    RenameJournal& operator=(const RenameJournal&) = delete;

    // rename(2) of `from` to `to`, replacing a file there; recorded when done.
    bool move(const std::string& from, const std::string& to);
    // Creates the folder `path` if it does not exist; recorded when created.
    bool makeFolder(const std::string& path);

    // Undoes every recorded step, newest first, and forgets them; false when
    // one could not be undone (the rest are still tried).
    bool rollBack();
    // Keeps what was done and forgets it.
    void commit() { steps_.clear(); }

private:
    struct Step {
        std::string from;  // empty for a created folder
        std::string to;
    };
    std::vector<Step> steps_;
};

}  // namespace yhz
