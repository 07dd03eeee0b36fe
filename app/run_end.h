#pragma once
// The end of a run, after the message loop: every background task is asked
// to stop and joined within a bound, then the main window is destroyed (which
// detaches the skin) and the loop's exit code is returned.

#include <memory>

namespace yhz {

class InstanceLock;
class MainWindow;

// When a task has not ended within the bound, the names of the tasks left go
// to standard error and the process ends at once with `code`: destroying the
// window under a running task would pull its controls from under it.
int endRun(std::unique_ptr<MainWindow> window, InstanceLock& instance, int code);

}  // namespace yhz
