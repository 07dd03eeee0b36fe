#include "query/query_run.h"

#include <atomic>
#include <chrono>
#include <optional>
#include <utility>

#include "base/control_names.h"
#include "net/http_client.h"
#include "query/query_request.h"
#include "query/query_summary.h"
#include "text/encoding.h"

namespace yhz {

struct QueryRun::Run {
    std::atomic<bool> running{true};
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

std::string postWithoutCookies(const std::string& address, const std::string& body,
                               std::stop_token stop) {
    // One client for every worker: it holds nothing but its bounds.
    static const HttpClient client;
    // An empty jar of its own: the relay sees no cookie of any other exchange.
    CookieJar cookies;
    return client.webRequest(address,
                             {.method = 1, .formText = body, .cookieText = &cookies, .stop = stop});
}

}  // namespace

QueryRun::QueryRun(WindowAccess& window, BackgroundTaskOwner& tasks, QueryStores stores,
                   QueryServices services)
    : window_(window), tasks_(tasks), stores_(std::move(stores)), services_(std::move(services)) {
    if (!services_.post) {
        services_.post = postWithoutCookies;
    }
}

void QueryRun::startClicked() {
    stores_.colours->clearCellColours();
    window_.setEnabled(control::kStartQueryButton, false);
    window_.setEnabled(control::kStopQueryButton, true);

    auto run = std::make_shared<Run>();
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
    // A new run asks about every row again.
    const int rows = plates.rowCount();
    for (int row = 0; row < rows; ++row) {
        plates.setStatus(row, PlateStatus::Unknown);
    }

    const int dispatch = plates.rowCount();
    for (int row = 0; row < dispatch; ++row) {
        waitWhile(run, stop, [this] { return inFlight_ >= kMaxInFlight; });
        if (!run->running || stop.stop_requested()) {
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
            tasks_.start("query worker", [this, run, row](std::stop_token workerStop) {
                askRelay(run, row, workerStop);
                finish(run);
            });
        if (!started) {
            const std::scoped_lock lock(lock_);
            --run->active;
            --inFlight_;
            break;
        }
    }
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

void QueryRun::askRelay(const std::shared_ptr<Run>& run, int row, std::stop_token stop) {
    PlateStore& plates = *stores_.plates;
    CellColourTable& colours = *stores_.colours;

    const std::string token = services_.accessToken ? services_.accessToken() : std::string();
    if (token.size() != kTokenBytes) {
        plates.setCellText(row, PlateRow::kDate, gbk("Token错误"));
        plates.setStatus(row, PlateStatus::Unknown);
        return;
    }
    colours.setCellColour(row, PlateRow::kPlate, kColourBlack, kColourGrey);
    const std::string plate = plates.cellText(row, PlateRow::kPlate);
    if (stores_.expired && isExpiredPlate(*stores_.expired, plate)) {
        colours.setCellColour(row, PlateRow::kPlate, kColourBlack, kColourBlue);
        return;
    }
    // The line is read now: a change during a run applies to the rows after.
    const int line = window_.selection(control::kRelayChoice);
    const std::string body = queryBody(plate, services_.userId, token, line);
    const std::string address = services_.relayAddress ? services_.relayAddress() : std::string();
    const std::string reply = address.empty() ? std::string() : services_.post(address, body, stop);

    switch (relayAnswer(reply)) {
        case RelayAnswer::Failed:
            plates.setCellText(row, PlateRow::kDate, gbk("Err.失败"));
            break;
        case RelayAnswer::Available:
            countAvailable(run);
            colours.setCellColour(row, PlateRow::kPlate, kColourBlack, kColourGreen);
            plates.setStatus(row, PlateStatus::Available);
            break;
        case RelayAnswer::Occupied:
            colours.setCellColour(row, PlateRow::kPlate, kColourBlack, kColourRed);
            plates.setStatus(row, PlateStatus::Occupied);
            break;
        case RelayAnswer::Other:
            plates.setCellText(row, PlateRow::kDate, reply);
            break;
    }
}

void QueryRun::countAvailable(const std::shared_ptr<Run>& run) {
    const std::scoped_lock lock(lock_);
    ++run->available;
    showCountLocked(*run, control::kAvailableLabel, run->available);
}

void QueryRun::finish(const std::shared_ptr<Run>& run) {
    {
        const std::scoped_lock lock(lock_);
        --run->remaining;
        showCountLocked(*run, control::kRemainingLabel, run->remaining);
        --run->active;
        --inFlight_;
        // Under the lock: once the controller sees the count drop, nothing
        // of this worker touches the run any more.
        slotFreed_.notify_all();
    }
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
