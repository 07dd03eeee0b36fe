#pragma once
// What a start does about updates that an earlier run left in the middle
// (a crash, a power loss, a program killed while it waited): each one is
// finished when its new program confirmed that it runs, and undone from its
// journal otherwise; the unpacking folders of finished or undone updates
// go. An update whose journal a living run still holds is left alone.

#include <string>
#include <vector>

namespace yhz {

struct RecoveryReport {
    int finished = 0;
    int undone = 0;
    // Unpacking folders kept because a step could not be undone: the files
    // that were not returned are in them.
    std::vector<std::string> kept;
};

// Before anything else at start. `runningExecutable` is this run's program
// file: an update that started it and awaits its confirmation is not
// undone under its feet.
RecoveryReport recoverInterruptedUpdates(const std::string& directory,
                                         const std::string& runningExecutable);

// Once the main window shows: confirms the update that started this run,
// if one did, and finishes it when the run that started it is gone.
void confirmUpdateStart(const std::string& directory, const std::string& runningExecutable);

}  // namespace yhz
