#pragma once
// How far a segment or expired-plate retrieval has come: pages taken and
// rows appended, as the run itself counts them, and the caption the window
// shows beside the buttons that start the runs. The run writes, the window
// reads; either may be on any thread.

#include <mutex>
#include <string>
#include <string_view>

namespace yhz {

struct RetrievalProgress {
    // EndedEarly: the run ended before the site's last page (a page failed,
    // or the site kept answering where it should have stopped).
    enum class State { Idle, Running, Ended, EndedEarly, Stopped };
    State state = State::Idle;
    int pages = 0;            // pages whose entries have been appended
    long long rows = 0;       // entries appended so far
    long long announced = 0;  // the total the site named, 0 while it has named none
};

class RetrievalProgressMeter {
public:
    // A new run: the counts of the last one are gone.
    void begin();
    // One page's entries have been appended; `announced` is the site's total
    // (0 leaves a total named before as it is).
    void pageTaken(long long rows, long long announced);
    // The run is over, in the state given (not Idle or Running).
    void end(RetrievalProgress::State how);

    RetrievalProgress snapshot() const;

private:
    mutable std::mutex mutex_;
    RetrievalProgress progress_;
};

// One line, UTF-8: what = "号段" or "逾期". Empty while no run has begun.
std::string retrievalCaption(std::string_view what, const RetrievalProgress& progress);

}  // namespace yhz
