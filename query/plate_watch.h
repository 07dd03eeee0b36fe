#pragma once
// The watch list: plates the user wants to hear about once they free up.
// It is read from its file when the program starts and written whole after
// every change. A thread of its own asks the relay about every watched plate
// once per interval (off, 10, 30 or 60 minutes), through the query run's own
// path, so the tokens, the line, the reply table and the cap of two requests
// in flight are the plate list's; a check waits while a run of the list goes
// on. A plate that has turned available is told once: one desktop
// notification per check for all such plates, one log line each.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "base/background_task.h"
#include "plates/plate_store.h"
#include "query/query_run.h"
#include "query/watch_store.h"

namespace yhz {

struct WatchServices {
    using Clock = std::chrono::steady_clock;
    // The watch file, in the data folder.
    std::filesystem::path file;
    // The clock the interval runs on; the steady clock when left empty.
    std::function<Clock::time_point()> now;
    // The text of "检查时间" for the present moment (GBK).
    std::function<std::string()> stamp;
    // The plates (GBK) one check found turned available; not called when
    // there are none.
    std::function<void(const std::vector<std::string>& plates)> notify;
    // One operation-log line (GBK).
    std::function<void(const std::string& line)> log;
};

struct WatchStatus {
    std::chrono::minutes interval{0};
    bool checking = false;
    // Time to the next check by the interval; nullopt while checking or off.
    std::optional<std::chrono::seconds> untilNext;
    int checksDone = 0;
};

class PlateWatch {
public:
    using Clock = WatchServices::Clock;
    static constexpr std::chrono::minutes kDefaultInterval{30};
    // The intervals the user can choose; 0 is off.
    static constexpr std::chrono::minutes kIntervals[] = {
        std::chrono::minutes(0), std::chrono::minutes(10), std::chrono::minutes(30),
        std::chrono::minutes(60)};

    PlateWatch(QueryRun& query, BackgroundTaskOwner& tasks, WatchServices services);
    PlateWatch(const PlateWatch&) = delete;
    PlateWatch& operator=(const PlateWatch&) = delete;

    // Reads the file (a refused one is set aside, with one log line) and
    // starts the thread that keeps the interval. Once.
    void start();
    // The window made its query run anew (tests give it another service):
    // the next check goes through that one. Not while a check goes on.
    void useQuery(QueryRun& query);

    const std::shared_ptr<WatchStore>& store() const { return store_; }

    struct Added {
        int added = 0;
        int already = 0;  // watched before
        int refused = 0;  // no plate text, or beyond kMaxWatchedPlates
    };
    // Watches the plates of `rows` not watched yet, each with what the row
    // says of it, and writes the file. One log line says what came of it.
    Added add(const std::vector<PlateRow>& rows);
    // Stops watching the checked rows and writes the file. How many went.
    int removeChecked();

    // 0 turns the checks off; otherwise the next comes one interval from now.
    void setInterval(std::chrono::minutes interval);
    // A check at once (after a running one, and after a run of the list).
    void checkNow();
    WatchStatus status() const;
    // The clock has moved: the thread looks again (the program's own clock
    // needs no call).
    void poke();

    // Writes still to come (tests wait for them).
    bool saving() const;

private:
    void keepInterval(std::stop_token stop);
    void check(std::stop_token stop);
    void load();
    void save();
    Clock::time_point now() const;

    QueryRun* query_;  // under mutex_
    BackgroundTaskOwner& tasks_;
    WatchServices services_;
    std::shared_ptr<WatchStore> store_ = std::make_shared<WatchStore>();

    mutable std::mutex mutex_;
    std::condition_variable_any wake_;
    std::chrono::minutes interval_ = kDefaultInterval;
    std::optional<Clock::time_point> nextCheck_;
    bool checkWanted_ = false;
    bool poked_ = false;
    bool checking_ = false;
    int checksDone_ = 0;

    // Saves: the latest list is written by a task that starts after it.
    std::mutex saveMutex_;
    bool dirty_ = false;        // under mutex_
    int savesPending_ = 0;      // under mutex_
    bool saveRefused_ = false;  // the old file could not be set aside: never replace it
};

}  // namespace yhz
