#pragma once
// The information server's start-up replies, asked for the moment the
// program starts, at the same time as the service information, instead of
// one after another once the main window is up. The start-up data thread
// still reads them in its own order and writes exactly what it always
// wrote; it only finds them there, or already on their way.

#include <memory>
#include <string>
#include <vector>

#include "base/background_task.h"
#include "region/startup_data.h"

namespace yhz {

class InformationPrefetch {
public:
    // Starts one request per path on threads of `tasks`, which joins them.
    InformationPrefetch(BackgroundTaskOwner& tasks, InformationFetch fetch,
                        const std::vector<std::string>& paths);

    // A fetch that answers each prefetched path once from its request
    // (waiting for it, or for `stop`), and anything else with a request of
    // its own. It may outlive this object.
    InformationFetch fetch() const;

    // The two the start-up data reads.
    static std::vector<std::string> startupPaths();

private:
    struct State;
    std::shared_ptr<State> state_;
};

}  // namespace yhz
