#pragma once
// The availability query: the start and stop buttons, the controller that
// hands the plate list's rows to workers (never more than two requests in
// flight), each worker's question to the relay and the marks it leaves on
// its row, and the two counters shown beside the list.
//
// Every run has counters of its own. A worker of a stopped run that ends
// after a new run has started still marks its own row and counts in its own
// run, but never changes what the labels show for the new one. The cap of
// two applies to requests in flight over all runs together.
//
// Each run fetches its tokens ahead (TokenSupply), so that a slot is held
// only for the relay's own answer, and the relay is asked over connections
// kept from one row to the next.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>

#include "base/background_task.h"
#include "base/window_access.h"
#include "net/http_client.h"
#include "plates/expired_plates.h"
#include "plates/plate_store.h"
#include "query/cell_colours.h"
#include "query/query_progress.h"

namespace yhz {

struct QueryStores {
    std::shared_ptr<PlateStore> plates;
    std::shared_ptr<CellColourTable> colours;
    std::shared_ptr<const ExpiredPlateSet> expired;
};

struct QueryServices {
    // One fresh access token (any text on failure: the row checks its
    // length). It must give up soon after `stop` is asked for.
    std::function<std::string(std::stop_token stop)> accessToken;
    std::string userId;
    // Where the relay listens, as the start-up data set it; "" when unknown.
    std::function<std::string()> relayAddress;
    // What posts the rows to the relay (with no cookies). Left empty: a
    // client of the run's own, with the ordinary bounds, that keeps its
    // connections from one row to the next.
    std::optional<HttpClient> relayClient;
    // Called after every wait of the controller.
    std::function<void()> trimWorkingSet;
    // Takes the one operation-log line (GBK) at the end of each run.
    std::function<void(const std::string& line)> log;
};

class QueryRun {
public:
    static constexpr int kMaxInFlight = 2;

    QueryRun(WindowAccess& window, BackgroundTaskOwner& tasks, QueryStores stores,
             QueryServices services);
    QueryRun(const QueryRun&) = delete;
    QueryRun& operator=(const QueryRun&) = delete;

    // GUI thread, from the buttons.
    void startClicked();
    void stopClicked();

    // The latest run's state.
    bool running() const;
    int remainingCount() const;
    int availableCount() const;
    int activeWorkers() const;
    // Requests in flight over all runs.
    int inFlight() const;
    // Read under the same lock as the counters beside the list, so the two
    // never disagree. Any thread.
    QueryProgress progress() const;

private:
    struct Run;

    void control(const std::shared_ptr<Run>& run, std::stop_token stop);
    // Waits (in slices of at most 200 ms) while `busy` holds, the run goes on
    // and the program does not end.
    template <typename Busy>
    void waitWhile(const std::shared_ptr<Run>& run, std::stop_token stop, Busy busy);
    // The row a worker asks about: where it was and the plate it held.
    struct AskedRow {
        int index;
        std::string plate;
    };

    void askRelay(const std::shared_ptr<Run>& run, const AskedRow& asked, const std::string& token,
                  std::stop_token stop);
    void countAvailable(const std::shared_ptr<Run>& run);
    // A row the run no longer needs to ask about.
    void countDone(const std::shared_ptr<Run>& run);
    // The end of a worker, on every path out of it.
    void finish(const std::shared_ptr<Run>& run);
    void logEnd(const Run& run);
    void showCountLocked(const Run& run, std::string_view label, std::int32_t value);

    WindowAccess& window_;
    BackgroundTaskOwner& tasks_;
    QueryStores stores_;
    QueryServices services_;
    HttpClient relay_;

    // The query lock: every counter change and the caption that shows it.
    mutable std::mutex lock_;
    std::condition_variable slotFreed_;
    std::shared_ptr<Run> current_;
    int inFlight_ = 0;
};

}  // namespace yhz
