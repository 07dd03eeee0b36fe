#pragma once
// The end of a run, after the message loop (or after the update window):
// every background task is asked to stop and joined within a bound, then the
// window is destroyed (the main window detaches the skin) and the exit code
// is returned.

#include <memory>

namespace yhz {

class InstanceLock;
class MainWindow;
class UpdateWindow;

// When a task has not ended within the bound, the names of the tasks left go
// to standard error and the process ends at once with `code`: destroying the
// window under a running task would pull its controls from under it.
int endRun(std::unique_ptr<MainWindow> window, InstanceLock& instance, int code);
// The same for a run that ended in the update window; `window` may be null.
int endRun(std::unique_ptr<UpdateWindow> window, InstanceLock& instance, int code);

}  // namespace yhz
