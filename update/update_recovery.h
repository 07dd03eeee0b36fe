#pragma once
// What a start does about updates that an earlier run left in the middle
// (a crash, a power loss, a program killed while it waited): each one is
// finished when its new program confirmed that it runs, and undone from its
// journal otherwise; the unpacking folders and package files of finished or
// undone updates go. An update whose journal a living run still holds is
// left alone, and so is a journal that is not one this program wrote.

#include <string>
#include <vector>

namespace yhz {

struct RecoveryReport {
    int finished = 0;
    int undone = 0;
    // Unpacking folders kept because a step could not be undone: the files
    // that were not returned are in them.
    std::vector<std::string> kept;
    // Unpacking folders whose journal was refused (not a regular file, too
    // large, or naming paths outside the program folder): kept untouched.
    std::vector<std::string> refused;
};

// `runningExecutable` is this run's program file: an update that started it
// and awaits its confirmation is not undone under its feet.
RecoveryReport recoverInterruptedUpdates(const std::string& directory,
                                         const std::string& runningExecutable);

enum class EarlierUpdate {
    None,            // no update concerns this run
    RunsElsewhere,   // another run's update lives: this start is a second instance
    Confirmed,       // this run is an update's new program and has confirmed it
    NotThisVersion,  // this run is an update's new program, but not the version
                     // its offer named: the update is undone, and this run ends
    Unconfirmed,     // this run is an update's new program and could not
                     // confirm: the update is undone, and this run ends
};

struct SettledUpdates {
    EarlierUpdate state = EarlierUpdate::None;
    RecoveryReport recovery;
};

// The start checks of a run about updates, right after it has won the
// single-instance claim and before anything waits for the user. A living
// update that did not start this run makes it a second instance, and
// nothing is touched. Otherwise interrupted updates are recovered, and an
// update that started this run (`handedOver` names its folder, from the
// argument the updater passes; or its run is gone) is confirmed, when this
// program is the `programVersion` (GBK) its offer named.
SettledUpdates settleEarlierUpdates(const std::string& directory,
                                    const std::string& runningExecutable,
                                    const std::string& programVersion,
                                    const std::string& handedOver);

}  // namespace yhz
