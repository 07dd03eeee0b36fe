#include "query/query_run.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <utility>

#include "base/control_names.h"
#include "net/http_client.h"
#include "query/query_request.h"
#include "query/query_summary.h"
#include "query/token_supply.h"
#include "text/encoding.h"
#include "text/gbk_text.h"

namespace yhz {

struct QueryRun::Run {
    explicit Run(TokenSupply::Fetch fetch) : tokens(std::move(fetch)) {}
    std::atomic<bool> running{true};
    TokenSupply tokens;
    // Guarded by the query lock.
    std::int32_t remaining = 0;
    std::int32_t available = 0;
    std::int32_t active = 0;
    std::int32_t total = 0;
    QueryProgress::Clock::time_point startedAt = QueryProgress::Clock::now();
    std::optional<QueryProgress::Clock::time_point> endedAt;
};

namespace {

constexpr std::chrono::milliseconds kWaitSlice{200};
constexpr std::size_t kTokenBytes = 32;

}  // namespace

QueryRun::QueryRun(WindowAccess& window, BackgroundTaskOwner& tasks, QueryStores stores,
                   QueryServices services)
    : window_(window),
      tasks_(tasks),
      stores_(std::move(stores)),
      services_(std::move(services)),
      relay_(services_.relayClient ? *services_.relayClient : HttpClient::keepingConnections()) {}

void QueryRun::startClicked() {
    stores_.colours->clearCellColours();
    window_.setEnabled(control::kStartQueryButton, false);
    window_.setEnabled(control::kStopQueryButton, true);

    auto run = std::make_shared<Run>(services_.accessToken);
    {
        const std::scoped_lock lock(lock_);
        run->remaining = stores_.plates->rowCount();
        run->total = run->remaining;
        current_ = run;
        showCountLocked(*run, control::kRemainingLabel, run->remaining);
        showCountLocked(*run, control::kAvailableLabel, 0);
    }
    const bool started =
        tasks_.start("query run", [this, run](std::stop_token stop) { control(run, stop); });
    if (!started) {
        // The program is ending; nothing will run.
        run->running = false;
    }
}

void QueryRun::stopClicked() {
    window_.setEnabled(control::kStopQueryButton, false);
    std::shared_ptr<Run> run;
    {
        const std::scoped_lock lock(lock_);
        run = current_;
    }
    if (run) {
        run->running = false;
        // Tokens fetched for rows that will not be asked about go now.
        run->tokens.stop();
    }
    // The controller waits on the lock's condition; wake it to see the stop.
    slotFreed_.notify_all();
}

bool QueryRun::running() const {
    const std::scoped_lock lock(lock_);
    return current_ && current_->running;
}

int QueryRun::remainingCount() const {
    const std::scoped_lock lock(lock_);
    return current_ ? current_->remaining : 0;
}

int QueryRun::availableCount() const {
    const std::scoped_lock lock(lock_);
    return current_ ? current_->available : 0;
}

int QueryRun::activeWorkers() const {
    const std::scoped_lock lock(lock_);
    return current_ ? current_->active : 0;
}

int QueryRun::inFlight() const {
    const std::scoped_lock lock(lock_);
    return inFlight_;
}

QueryProgress QueryRun::progress() const {
    const std::scoped_lock lock(lock_);
    if (!current_) {
        return {};
    }
    const Run& run = *current_;
    return {.total = run.total,
            .done = run.total - run.remaining,
            .startedAt = run.startedAt,
            .endedAt = run.endedAt};
}

void QueryRun::showCountLocked(const Run& run, std::string_view label, std::int32_t value) {
    // Labels show the latest run only; an older run counts for itself.
    if (&run == current_.get()) {
        window_.setCaption(label, std::to_string(value));
    }
}

template <typename Busy>
void QueryRun::waitWhile(const std::shared_ptr<Run>& run, std::stop_token stop, Busy busy) {
    // A worker that ends notifies at once; the slice only bounds how late a
    // missed wake-up could be seen.
    const std::stop_callback wake(stop, [this] { slotFreed_.notify_all(); });
    std::unique_lock lock(lock_);
    while (busy() && run->running && !stop.stop_requested()) {
        slotFreed_.wait_for(lock, kWaitSlice);
        lock.unlock();
        if (services_.trimWorkingSet) {
            services_.trimWorkingSet();
        }
        lock.lock();
    }
}

void QueryRun::control(const std::shared_ptr<Run>& run, std::stop_token stop) {
    PlateStore& plates = *stores_.plates;
    // A new run asks about every row again, and what an earlier run wrote
    // in place of a date goes.
    plates.resetForQuery();

    const int dispatch = plates.rowCount();
    run->tokens.setWanted(dispatch);
    for (int k = 0; k < TokenSupply::kMaxFetches && k < dispatch; ++k) {
        tasks_.start("query tokens",
                     [run](std::stop_token fetchStop) { run->tokens.fetchLoop(fetchStop); });
    }
    for (int row = 0; row < dispatch; ++row) {
        waitWhile(run, stop, [this] { return inFlight_ >= kMaxInFlight; });
        if (!run->running || stop.stop_requested()) {
            break;
        }
        // The plate the row holds now: the worker asks about this one and
        // marks only a row that still holds it.
        std::optional<PlateRow> current = plates.row(row);
        if (!current) {
            // Deleted while the run went on: nothing left to ask about.
            countDone(run);
            continue;
        }
        // Usually waiting already: it was fetched while the slot was busy.
        std::optional<std::string> token = run->tokens.take(stop);
        if (!token || !run->running) {
            break;
        }
        {
            // Counted before the worker exists, so that its finish can never
            // come first.
            const std::scoped_lock lock(lock_);
            ++run->active;
            ++inFlight_;
        }
        const bool started =
            tasks_.start("query worker", [this, run, row, plate = std::move(current->plate),
                                          token = std::move(*token)](std::stop_token workerStop) {
                try {
                    askRelay(run, {row, plate}, token, workerStop);
                } catch (...) {
                    // Out of memory at worst: the row keeps what it shows,
                    // and the run still counts it as done.
                }
                finish(run);
            });
        if (!started) {
            const std::scoped_lock lock(lock_);
            --run->active;
            --inFlight_;
            break;
        }
    }
    run->tokens.stop();
    waitWhile(run, stop, [&run] { return run->active > 0; });
    {
        const std::scoped_lock lock(lock_);
        run->endedAt = QueryProgress::Clock::now();
    }
    if (stop.stop_requested()) {
        return;  // the program is ending; the window is going away
    }
    logEnd(*run);

    window_.setEnabled(control::kStartQueryButton, true);
    window_.setEnabled(control::kStopQueryButton, false);
    window_.showMessage(
        {gbk("查询结束！"), gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Information});
}

void QueryRun::askRelay(const std::shared_ptr<Run>& run, const AskedRow& asked,
                        const std::string& token, std::stop_token stop) {
    PlateStore& plates = *stores_.plates;
    CellColourTable& colours = *stores_.colours;
    // Every mark goes to the row that still holds the plate, wherever the
    // list's edits have moved it; a row that is gone gets nothing.
    auto mark = [&](auto&& change) { return plates.markPlate(asked.index, asked.plate, change); };
    auto note = [](std::string text) {
        return [text = std::move(text)](PlateRow& r, int) {
            r.date = text;
            r.queryNote = true;
        };
    };
    auto paint = [&colours](ColourRef background) {
        return [&colours, background](PlateRow&, int at) {
            colours.setCellColour(at, PlateRow::kPlate, kColourBlack, background);
        };
    };

    if (token.size() != kTokenBytes) {
        mark([&](PlateRow& r, int at) {
            note(gbk("Token错误"))(r, at);
            r.status = static_cast<std::int32_t>(PlateStatus::Unknown);
        });
        return;
    }
    if (!mark(paint(kColourGrey))) {
        return;  // gone before it was asked about
    }
    if (stores_.expired && isExpiredPlate(*stores_.expired, asked.plate)) {
        mark(paint(kColourBlue));
        return;
    }
    // The line is read now: a change during a run applies to the rows after.
    const int line = window_.selection(control::kRelayChoice);
    const std::string body = queryBody(asked.plate, services_.userId, token, line);
    const std::string address = services_.relayAddress ? services_.relayAddress() : std::string();
    std::string reply;
    if (!address.empty()) {
        // An empty jar of its own: the relay sees no cookie of any other exchange.
        CookieJar noCookies;
        // A reply is text up to its first zero byte, as every other reply is.
        reply = textUpToZero(relay_.webRequest(
            address, {.method = 1, .formText = body, .cookieText = &noCookies, .stop = stop}));
    }

    switch (relayAnswer(reply)) {
        case RelayAnswer::Failed:
            mark(note(gbk("Err.失败")));
            break;
        case RelayAnswer::Available:
            // Counted only when a row shows it: the counter and the green rows
            // agree even when the row went while it was asked about.
            if (mark([&](PlateRow& r, int at) {
                    paint(kColourGreen)(r, at);
                    r.status = static_cast<std::int32_t>(PlateStatus::Available);
                })) {
                countAvailable(run);
            }
            break;
        case RelayAnswer::Occupied:
            mark([&](PlateRow& r, int at) {
                paint(kColourRed)(r, at);
                r.status = static_cast<std::int32_t>(PlateStatus::Occupied);
            });
            break;
        case RelayAnswer::Other:
            mark(note(reply));
            break;
    }
}

void QueryRun::countAvailable(const std::shared_ptr<Run>& run) {
    const std::scoped_lock lock(lock_);
    ++run->available;
    showCountLocked(*run, control::kAvailableLabel, run->available);
}

void QueryRun::countDone(const std::shared_ptr<Run>& run) {
    const std::scoped_lock lock(lock_);
    --run->remaining;
    showCountLocked(*run, control::kRemainingLabel, run->remaining);
}

void QueryRun::finish(const std::shared_ptr<Run>& run) {
    const std::scoped_lock lock(lock_);
    --run->remaining;
    showCountLocked(*run, control::kRemainingLabel, run->remaining);
    --run->active;
    --inFlight_;
    // Under the lock: once the controller sees the count drop, nothing of
    // this worker touches the run any more.
    slotFreed_.notify_all();
}

void QueryRun::logEnd(const Run& run) {
    if (!services_.log) {
        return;
    }
    int total = 0;
    int done = 0;
    {
        const std::scoped_lock lock(lock_);
        total = run.total;
        done = run.total - run.remaining;
    }
    services_.log(queryEndLine(tallyQueryRun(*stores_.colours, total, done)));
}

}  // namespace yhz
