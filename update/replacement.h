#pragma once
// The replacement after the download: unpack the package, put the new
// program in place under its versioned name, start it, and remove the old
// one only once the new one runs. The folder always keeps a program that
// starts: whatever fails, every change is taken back.

#include <functional>
#include <stop_token>
#include <string>

#include "update/update_paths.h"

namespace yhz {

struct ReplaceSteps {
    // Runs just before the new program starts (this run lets its
    // single-instance claim go here, or the new program would meet it).
    std::function<void()> beforeStart;
    // Starts the program file; true when it runs.
    std::function<bool(const std::string& path, std::stop_token stop)> start;
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
};

// Works on the package file of `paths`, which is removed whatever happens.
// `runningExecutable` is the program file of this run, in the folder.
ReplaceResult replaceAndRestart(const UpdatePaths& paths, const std::string& runningExecutable,
                                const ReplaceSteps& steps, std::stop_token stop = {});

}  // namespace yhz
