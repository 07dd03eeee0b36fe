#pragma once
// The availability query: the start and stop buttons, the controller that
// hands the plate list's rows to workers (never more than two requests in
// flight), each worker's question to the relay and the marks it leaves on
// its row, and the two counters shown beside the list.
//
// Every run has counters of its own. A worker of a stopped run that ends
// after a new run has started still marks its own row and counts in its own
// run, but never changes what the labels show for the new one. The cap of
// two applies to requests in flight over all runs together. A run's log line
// is written once its last worker has ended, so it counts what the labels
// and the bar count; a stopped run's end message does not wait for it.
//
// A run takes the rows as they are when it starts and asks about each while
// a row still holds its plate, wherever the list's edits have moved it. The
// colour an answer gives is part of its row (PlateRow::plateBackground).
//
// Each run fetches its tokens ahead (TokenSupply), so that a slot is held
// only for the relay's own answer, and the relay is asked over connections
// kept from one row to the next.
//
// Besides the runs over the plate list, the same path asks about plates that
// are no rows of it (the watch list's checks): same tokens, line, reply table
// and cap, but no marks on the list and no counters. Such a check gives way to
// the runs: it asks nothing more while a run of the list goes on.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "base/background_task.h"
#include "base/window_access.h"
#include "net/http_client.h"
#include "plates/expired_plates.h"
#include "plates/plate_store.h"
#include "query/cell_colours.h"
#include "query/query_progress.h"
#include "query/query_summary.h"

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

// What the relay (or the expired plates) said about one plate.
struct PlateAnswer {
    enum class Kind {
        TokenError,  // no usable token: nothing was sent
        Expired,     // among the expired plates: nothing was sent
        Failed,      // no answer at all
        Available,   // "ok"
        Occupied,    // "已占用"
        Other,       // any other text, in `reply`
    };
    Kind kind = Kind::Failed;
    std::string reply;  // GBK, as the relay sent it up to its first zero byte
};

class QueryRun {
public:
    static constexpr int kMaxInFlight = 2;

    // Called on a worker thread once per plate asked about: its position in
    // the list handed to askPlates() and the answer.
    using Answered = std::function<void(int index, const PlateAnswer& answer)>;

    QueryRun(WindowAccess& window, BackgroundTaskOwner& tasks, QueryStores stores,
             QueryServices services);
    QueryRun(const QueryRun&) = delete;
    QueryRun& operator=(const QueryRun&) = delete;

    // GUI thread, from the buttons.
    void startClicked();
    void stopClicked();
    // A run over the rows without a final answer only (never asked, failed,
    // or answered with an error text): every other row keeps its status,
    // colour and text, and the counters count only the rows it asks about.
    void continueClicked();

    // Asks about `plates` on the calling thread's behalf and returns once
    // each has its answer, or on `stop`. Waits while a run of the list goes
    // on, before it starts and between plates; the tokens it holds then go,
    // and fresh ones are fetched when it goes on.
    void askPlates(const std::vector<std::string>& plates, const Answered& answered,
                   std::stop_token stop);

    // A run of the list goes on: from its click until its controller ends.
    bool listRunGoing() const;

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
    // What a worker asks about: where it was (a row, or a place in the list
    // of plates) and the plate it held.
    struct AskedRow {
        int index;
        std::string plate;
    };
    // The k-th question of a run: nullopt when its row has gone meanwhile.
    using Pick = std::function<std::optional<AskedRow>(int k)>;
    using Ask = std::function<void(const std::shared_ptr<Run>& run, const AskedRow& asked,
                                   const std::string& token, std::stop_token stop)>;

    void begin(bool unfinishedOnly);
    // The rows a run asks about: those without a final answer, or every row
    // (reset for a new run). Called under lock_.
    static std::vector<AskedRow> chooseRows(PlateStore& plates, bool unfinishedOnly);
    void control(const std::shared_ptr<Run>& run, bool unfinishedOnly, std::stop_token stop);
    // Hands `count` questions to workers, never more than kMaxInFlight
    // requests in flight over all runs. `yields`: pauses while a run of the
    // list goes on. Returns once every question is asked, or on a stop.
    void dispatch(const std::shared_ptr<Run>& run, int count, const Pick& pick, const Ask& ask,
                  bool yields, std::stop_token stop);
    // Waits (in slices of at most 200 ms) while `busy` holds, the run goes on
    // and the program does not end.
    template <typename Busy>
    void waitWhile(const std::shared_ptr<Run>& run, std::stop_token stop, Busy busy);

    // The question itself, after the token has been checked.
    PlateAnswer exchange(const std::string& plate, const std::string& token, std::stop_token stop);
    void askRow(const std::shared_ptr<Run>& run, const AskedRow& asked, const std::string& token,
                std::stop_token stop);
    void countAvailable(const std::shared_ptr<Run>& run);
    void countOutcome(const std::shared_ptr<Run>& run, PlateAnswer::Kind kind);
    // A row the run no longer needs to ask about.
    void countDone(const std::shared_ptr<Run>& run);
    // The end of a worker, on every path out of it; `stop`: the program ends.
    void finish(const std::shared_ptr<Run>& run, std::stop_token stop);
    // What the run's end line says, once: when its controller has ended and
    // no worker of it is left. Under the query lock.
    static std::optional<QueryTally> takeEndLineLocked(Run& run);
    void logEnd(const QueryTally& tally);
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
    int listRunsGoing_ = 0;
    std::chrono::steady_clock::time_point lastTrim_ = std::chrono::steady_clock::now();
};

}  // namespace yhz
