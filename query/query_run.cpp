#include "query/query_run.h"

#include <algorithm>
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
    std::atomic<bool> running{true};
    // Guarded by the query lock.
    std::shared_ptr<TokenSupply> tokens;  // replaced when a paused check goes on
    std::int32_t remaining = 0;
    std::int32_t available = 0;
    std::int32_t occupied = 0;
    std::int32_t expired = 0;
    std::int32_t active = 0;
    std::int32_t total = 0;
    // The controller has asked everything it will: the run's end line goes
    // out once no worker of it is left, so it counts every answer.
    bool controlEnded = false;
    bool endLineDone = false;
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
    // The rows' colours go with their statuses, in the run's own reset: a
    // run stopped and overtaken before it began must leave both as they are.
    begin(false);
}

void QueryRun::continueClicked() {
    // The colours stay: each is part of its row and shows that row's answer.
    begin(true);
}

void QueryRun::begin(bool unfinishedOnly) {
    window_.setEnabled(control::kStartQueryButton, false);
    window_.setEnabled(control::kContinueQueryButton, false);
    window_.setEnabled(control::kStopQueryButton, true);

    auto run = std::make_shared<Run>();
    // Counted here only, so the labels show the figure at once; the
    // controller chooses the rows.
    const int rows =
        unfinishedOnly ? stores_.plates->unfinishedCount() : stores_.plates->rowCount();
    {
        const std::scoped_lock lock(lock_);
        run->remaining = rows;
        run->total = rows;
        current_ = run;
        ++listRunsGoing_;
        showCountLocked(*run, control::kRemainingLabel, run->remaining);
        showCountLocked(*run, control::kAvailableLabel, 0);
    }
    // A watch check waiting for a slot pauses at once.
    slotFreed_.notify_all();
    const bool started = tasks_.start(
        "query run",
        [this, run, unfinishedOnly](std::stop_token stop) { control(run, unfinishedOnly, stop); });
    if (!started) {
        // The program is ending; nothing will run.
        run->running = false;
        const std::scoped_lock lock(lock_);
        --listRunsGoing_;
    }
}

void QueryRun::stopClicked() {
    window_.setEnabled(control::kStopQueryButton, false);
    std::shared_ptr<TokenSupply> tokens;
    {
        const std::scoped_lock lock(lock_);
        if (current_) {
            current_->running = false;
            tokens = current_->tokens;
        }
    }
    if (tokens) {
        // Tokens fetched for rows that will not be asked about go now.
        tokens->stop();
    }
    // The controller waits on the lock's condition; wake it to see the stop.
    slotFreed_.notify_all();
}

bool QueryRun::listRunGoing() const {
    const std::scoped_lock lock(lock_);
    return listRunsGoing_ > 0;
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
        // A trim per 200 ms of waiting, as a controller that polls would
        // do; not one per answer, which would keep a core trimming while
        // answers come fast.
        const auto now = std::chrono::steady_clock::now();
        if (now - lastTrim_ < kWaitSlice) {
            continue;
        }
        lastTrim_ = now;
        lock.unlock();
        if (services_.trimWorkingSet) {
            services_.trimWorkingSet();
        }
        lock.lock();
    }
}

std::vector<QueryRun::AskedRow> QueryRun::chooseRows(PlateStore& plates, bool unfinishedOnly) {
    std::vector<AskedRow> chosen;
    if (unfinishedOnly) {
        // The rows as they are now; each is asked about only while a row
        // still holds its plate.
        plates.read([&chosen](const PlateStore::Rows& rows) {
            for (size_t k = 0; k < rows.size(); ++k) {
                if (!rows[k].hasFinalAnswer()) {
                    chosen.push_back({static_cast<int>(k), rows[k].plate});
                }
            }
        });
        return chosen;
    }
    // A new run asks about every row again, and what an earlier run wrote in
    // place of a date goes. The rows are taken as they are now, not by
    // position as the run goes: deleting rows above the next one must not
    // make the walk step over it.
    std::vector<std::string> found = plates.resetForQuery();
    chosen.reserve(found.size());
    for (size_t k = 0; k < found.size(); ++k) {
        chosen.push_back({static_cast<int>(k), std::move(found[k])});
    }
    return chosen;
}

void QueryRun::control(const std::shared_ptr<Run>& run, bool unfinishedOnly, std::stop_token stop) {
    PlateStore& plates = *stores_.plates;
    // Read by `pick` only while dispatch runs, within this call.
    std::vector<AskedRow> chosen;
    {
        // A stop and a new start in quick succession can bring a newer
        // run's controller here first. Then this run takes no rows: its
        // reset would wipe the answers of rows the newer run (a 继续查询
        // that kept them) never asks again. The choice is made under the
        // lock that makes a run the current one, so no newer run chooses
        // in between.
        const std::scoped_lock lock(lock_);
        if (run == current_) {
            chosen = chooseRows(plates, unfinishedOnly);
        }
    }
    const int count = static_cast<int>(chosen.size());
    {
        // Rows may have come or gone since the click counted them.
        const std::scoped_lock lock(lock_);
        run->remaining += count - run->total;
        run->total = count;
        showCountLocked(*run, control::kRemainingLabel, run->remaining);
    }
    // Each row is asked about while a row still holds its plate, wherever the
    // list's edits have moved it.
    const Pick pick = [&plates, &chosen](int k) -> std::optional<AskedRow> {
        const AskedRow& asked = chosen[static_cast<size_t>(k)];
        return plates.holdsPlate(asked.index, asked.plate) ? std::optional(asked) : std::nullopt;
    };
    dispatch(
        run, count, pick,
        [this](const std::shared_ptr<Run>& r, const AskedRow& asked, const std::string& token,
               std::stop_token workerStop) { askRow(r, asked, token, workerStop); },
        false, stop);
    waitWhile(run, stop, [&run] { return run->active > 0; });
    std::optional<QueryTally> endLine;
    {
        const std::scoped_lock lock(lock_);
        run->endedAt = QueryProgress::Clock::now();
        --listRunsGoing_;
        run->controlEnded = true;
        if (stop.stop_requested()) {
            run->endLineDone = true;  // the program is ending: no line
        } else {
            // A stopped run whose workers are still asking writes its line
            // when the last of them ends.
            endLine = takeEndLineLocked(*run);
        }
    }
    // A watch check that waits for the run goes on now.
    slotFreed_.notify_all();
    if (stop.stop_requested()) {
        return;  // the program is ending; the window is going away
    }
    if (endLine) {
        logEnd(*endLine);
    }

    window_.setEnabled(control::kStartQueryButton, true);
    window_.setEnabled(control::kContinueQueryButton, true);
    window_.setEnabled(control::kStopQueryButton, false);
    window_.showMessage(
        {gbk("查询结束！"), gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Information});
}

void QueryRun::askPlates(const std::vector<std::string>& plates, const Answered& answered,
                         std::stop_token stop) {
    // A run of its own, never the current one: the labels never show it.
    auto run = std::make_shared<Run>();
    {
        const std::scoped_lock lock(lock_);
        run->remaining = static_cast<std::int32_t>(plates.size());
        run->total = run->remaining;
    }
    dispatch(
        run, static_cast<int>(plates.size()),
        [&plates](int k) {
            return std::optional(AskedRow{k, plates[static_cast<size_t>(k)]});
        },
        [this, answered](const std::shared_ptr<Run>&, const AskedRow& asked,
                         const std::string& token, std::stop_token workerStop) {
            answered(asked.index, token.size() == kTokenBytes
                                      ? exchange(asked.plate, token, workerStop)
                                      : PlateAnswer{PlateAnswer::Kind::TokenError, {}});
        },
        true, stop);
    waitWhile(run, stop, [&run] { return run->active > 0; });
}

void QueryRun::dispatch(const std::shared_ptr<Run>& run, int count, const Pick& pick,
                        const Ask& ask, bool yields, std::stop_token stop) {
    const auto ended = [&] { return !run->running || stop.stop_requested(); };
    // Under the query lock. A check also gives way to every run of the list.
    const auto noSlot = [&] { return inFlight_ >= kMaxInFlight || (yields && listRunsGoing_ > 0); };
    int next = 0;
    while (next < count && !ended()) {
        if (yields) {
            waitWhile(run, stop, [this] { return listRunsGoing_ > 0; });
            if (ended()) {
                break;
            }
        }
        // Tokens for the questions still to come; a check that pauses drops
        // them, as they may grow stale while a long run goes on.
        auto tokens = std::make_shared<TokenSupply>(services_.accessToken);
        {
            const std::scoped_lock lock(lock_);
            run->tokens = tokens;
        }
        const std::stop_callback dropTokens(stop, [tokens] { tokens->stop(); });
        tokens->setWanted(count - next);
        for (int k = 0; k < TokenSupply::kMaxFetches && k < count - next; ++k) {
            tasks_.start("query tokens",
                         [tokens](std::stop_token fetchStop) { tokens->fetchLoop(fetchStop); });
        }
        // A token is a whole request to the service away: the slot seen free
        // before it came may have gone meanwhile, to another run or a check.
        // The token is then kept for the next try.
        std::optional<std::string> token;
        bool paused = false;
        while (next < count) {
            // A check stops waiting for a slot as soon as a run of the list
            // starts, so that it pauses below and lets its tokens go.
            waitWhile(run, stop,
                      [&] { return inFlight_ >= kMaxInFlight && !(yields && listRunsGoing_ > 0); });
            if (ended()) {
                break;
            }
            if (yields && listRunGoing()) {
                paused = true;
                break;
            }
            std::optional<AskedRow> asked = pick(next);
            if (!asked) {
                // Deleted while the run went on: nothing left to ask about.
                countDone(run);
                ++next;
                continue;
            }
            if (!token) {
                // Usually waiting already: it was fetched while the slot was busy.
                token = tokens->take(stop);
                if (!token) {
                    break;
                }
            }
            {
                // The slot is taken under the lock that counts it, and before
                // the worker exists, so that its finish can never come first.
                const std::scoped_lock lock(lock_);
                if (ended()) {
                    break;
                }
                if (noSlot()) {
                    continue;
                }
                ++run->active;
                ++inFlight_;
            }
            const bool started = tasks_.start(
                "query worker", [this, run, ask, asked = std::move(*asked),
                                 token = std::move(*token)](std::stop_token workerStop) {
                    try {
                        ask(run, asked, token, workerStop);
                    } catch (...) {
                        // Out of memory at worst: the row keeps what it
                        // shows, and the run still counts it as done.
                    }
                    finish(run, workerStop);
                });
            token.reset();
            if (!started) {
                const std::scoped_lock lock(lock_);
                --run->active;
                --inFlight_;
                break;
            }
            ++next;
        }
        tokens->stop();
        if (!paused) {
            break;
        }
    }
}

PlateAnswer QueryRun::exchange(const std::string& plate, const std::string& token,
                               std::stop_token stop) {
    if (stores_.expired && isExpiredPlate(*stores_.expired, plate)) {
        return {PlateAnswer::Kind::Expired, {}};
    }
    // The line is read now: a change during a run applies to the rows after.
    const int line = window_.selection(control::kRelayChoice);
    const std::string body = queryBody(plate, services_.userId, token, line);
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
            return {PlateAnswer::Kind::Failed, {}};
        case RelayAnswer::Available:
            return {PlateAnswer::Kind::Available, {}};
        case RelayAnswer::Occupied:
            return {PlateAnswer::Kind::Occupied, {}};
        case RelayAnswer::Other:
            break;
    }
    return {PlateAnswer::Kind::Other, std::move(reply)};
}

void QueryRun::askRow(const std::shared_ptr<Run>& run, const AskedRow& asked,
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
    // The colour is the row's own, set under the same lock as its status,
    // so the two never disagree and the colour goes wherever the row goes.
    auto paint = [&colours](ColourRef background) {
        return [&colours, background](PlateRow& r, int) {
            r.plateBackground = background;
            colours.useColours();
        };
    };

    if (token.size() != kTokenBytes) {
        mark([&](PlateRow& r, int at) {
            note(gbk("Token错误"))(r, at);
            r.status = static_cast<std::int32_t>(PlateStatus::Unknown);
        });
        return;
    }
    const bool present = mark([&](PlateRow& r, int at) {
        // Asked again: what an earlier question left in place of a date goes.
        if (r.queryNote) {
            r.date.clear();
            r.queryNote = false;
        }
        // Grey while asked, and nothing known: an answer a stopped run
        // brought in meanwhile must not stand beside this question's failure.
        r.status = static_cast<std::int32_t>(PlateStatus::Unknown);
        r.expired = false;
        paint(kColourGrey)(r, at);
    });
    if (!present) {
        return;  // gone before it was asked about
    }
    const PlateAnswer answer = exchange(asked.plate, token, stop);
    switch (answer.kind) {
        case PlateAnswer::Kind::TokenError:
        case PlateAnswer::Kind::Failed:
            mark(note(gbk("Err.失败")));
            break;
        case PlateAnswer::Kind::Expired:
            if (mark([&](PlateRow& r, int at) {
                    paint(kColourBlue)(r, at);
                    r.expired = true;
                })) {
                countOutcome(run, answer.kind);
            }
            break;
        case PlateAnswer::Kind::Available:
            // Counted only when a row shows it: the counter and the green rows
            // agree even when the row went while it was asked about.
            if (mark([&](PlateRow& r, int at) {
                    paint(kColourGreen)(r, at);
                    r.status = static_cast<std::int32_t>(PlateStatus::Available);
                })) {
                countAvailable(run);
            }
            break;
        case PlateAnswer::Kind::Occupied:
            if (mark([&](PlateRow& r, int at) {
                    paint(kColourRed)(r, at);
                    r.status = static_cast<std::int32_t>(PlateStatus::Occupied);
                })) {
                countOutcome(run, answer.kind);
            }
            break;
        case PlateAnswer::Kind::Other:
            mark(note(answer.reply));
            break;
    }
}

void QueryRun::countAvailable(const std::shared_ptr<Run>& run) {
    const std::scoped_lock lock(lock_);
    ++run->available;
    showCountLocked(*run, control::kAvailableLabel, run->available);
}

void QueryRun::countOutcome(const std::shared_ptr<Run>& run, PlateAnswer::Kind kind) {
    const std::scoped_lock lock(lock_);
    run->occupied += kind == PlateAnswer::Kind::Occupied ? 1 : 0;
    run->expired += kind == PlateAnswer::Kind::Expired ? 1 : 0;
}

void QueryRun::countDone(const std::shared_ptr<Run>& run) {
    const std::scoped_lock lock(lock_);
    --run->remaining;
    showCountLocked(*run, control::kRemainingLabel, run->remaining);
}

void QueryRun::finish(const std::shared_ptr<Run>& run, std::stop_token stop) {
    std::optional<QueryTally> endLine;
    {
        const std::scoped_lock lock(lock_);
        --run->remaining;
        showCountLocked(*run, control::kRemainingLabel, run->remaining);
        --run->active;
        --inFlight_;
        if (!stop.stop_requested()) {
            endLine = takeEndLineLocked(*run);
        }
        if (endLine) {
            // Still counted until the line is out, so that whoever waits for
            // the run's workers finds its line written.
            ++run->active;
        }
        // Under the lock: once the controller sees the count drop, nothing
        // of this worker touches the run any more.
        slotFreed_.notify_all();
    }
    if (endLine) {
        logEnd(*endLine);
        const std::scoped_lock lock(lock_);
        --run->active;
        slotFreed_.notify_all();
    }
}

std::optional<QueryTally> QueryRun::takeEndLineLocked(Run& run) {
    if (!run.controlEnded || run.active > 0 || run.endLineDone) {
        return std::nullopt;
    }
    run.endLineDone = true;
    QueryTally tally;
    tally.total = run.total;
    tally.done = run.total - run.remaining;
    tally.available = run.available;
    tally.occupied = run.occupied;
    tally.expired = run.expired;
    tally.failed = std::max(0, tally.done - tally.available - tally.occupied - tally.expired);
    return tally;
}

void QueryRun::logEnd(const QueryTally& tally) {
    if (services_.log) {
        services_.log(queryEndLine(tally));
    }
}

}  // namespace yhz
