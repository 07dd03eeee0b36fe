#include "query/plate_watch.h"

#include <algorithm>
#include <unordered_set>
#include <utility>

#include "base/date_time_format.h"
#include "plates/watch_file.h"
#include "text/encoding.h"

namespace yhz {
namespace {

// However far off the next check is, the thread looks at the clock at least
// this often, so a clock that jumps is seen.
constexpr std::chrono::seconds kLongestSleep{60};

// The file's name in quotes, as the log shows it (GBK).
std::string nameText(const std::filesystem::path& path) {
    return gbk("“") + utf8ToLocal(path.filename().string()) + gbk("”");
}

}  // namespace

PlateWatch::PlateWatch(QueryRun& query, BackgroundTaskOwner& tasks, WatchServices services)
    : query_(&query), tasks_(tasks), services_(std::move(services)) {
    if (!services_.stamp) {
        services_.stamp = [] { return formatDateTime(std::nullopt, 1, 0, true); };
    }
}

PlateWatch::Clock::time_point PlateWatch::now() const {
    return services_.now ? services_.now() : Clock::now();
}

void PlateWatch::start() {
    load();
    {
        const std::scoped_lock lock(mutex_);
        nextCheck_ = now() + interval_;
    }
    tasks_.start("plate watch", [this](std::stop_token stop) { keepInterval(stop); });
}

void PlateWatch::useQuery(QueryRun& query) {
    const std::scoped_lock lock(mutex_);
    query_ = &query;
}

void PlateWatch::load() {
    const std::filesystem::path& file = services_.file;
    removeTornWatchWrites(file);
    WatchFileContent content = readWatchFile(file);
    if (content.status == WatchFileStatus::Refused ||
        content.status == WatchFileStatus::Unreadable) {
        // Never lost silently: kept under another name, or not written over.
        const std::filesystem::path aside = setWatchFileAside(file);
        std::string line = gbk("关注列表文件") + nameText(file) + gbk("无法读取");
        if (aside.empty()) {
            const std::scoped_lock lock(mutex_);
            saveRefused_ = true;
            line += gbk("，也无法改名保留：本次运行不会改写它，关注列表的更改不会保存");
        } else {
            line += gbk("，已改名保留为") + nameText(aside) + gbk("，关注列表从空开始");
        }
        if (services_.log) {
            services_.log(line);
        }
        return;
    }
    std::vector<WatchRow> rows(content.plates.size());
    for (size_t k = 0; k < rows.size(); ++k) {
        rows[k].plate = std::move(content.plates[k]);
        rows[k].result = watchResultText(WatchAnswer::Unchecked);
    }
    store_->appendAll(std::move(rows), [](WatchRow&, int) {});
}

PlateWatch::Added PlateWatch::add(const std::vector<PlateRow>& rows) {
    Added added;
    std::vector<std::string> plates = store_->plates();
    std::unordered_set<std::string> watched(plates.begin(), plates.end());
    std::vector<WatchRow> fresh;
    for (const PlateRow& row : rows) {
        if (watched.count(row.plate) != 0) {
            ++added.already;
            continue;
        }
        if (!isWatchablePlate(row.plate) || watched.size() >= kMaxWatchedPlates) {
            ++added.refused;
            continue;
        }
        watched.insert(row.plate);
        WatchRow& watch = fresh.emplace_back();
        watch.plate = row.plate;
        // What the list last said counts as known: a plate already seen
        // free is not told of again.
        watch.known = watchAnswerOf(row);
        watch.answer = watch.known;
        watch.result = watchResultText(watch.known);
    }
    added.added = static_cast<int>(fresh.size());
    if (!fresh.empty()) {
        store_->appendAll(std::move(fresh), [](WatchRow&, int) {});
        save();
    }
    if (services_.log) {
        std::string line = gbk("加入关注：新增") + std::to_string(added.added) + gbk("个");
        if (added.already > 0) {
            line += gbk("，已在列表中") + std::to_string(added.already) + gbk("个");
        }
        if (added.refused > 0) {
            line += gbk("，") + std::to_string(added.refused) + gbk("个不是号码或超出上限") +
                    std::to_string(kMaxWatchedPlates) + gbk("个，未加入");
        }
        services_.log(line + gbk("，共") + std::to_string(watched.size()) + gbk("个"));
    }
    return added;
}

int PlateWatch::removeChecked() {
    int removed = 0;
    store_->rebuild([&removed](WatchStore::Rows& rows) {
        const auto kept = std::remove_if(rows.begin(), rows.end(),
                                         [](const WatchRow& row) { return row.checked; });
        removed = static_cast<int>(rows.end() - kept);
        rows.erase(kept, rows.end());
    });
    if (removed > 0) {
        save();
    }
    return removed;
}

void PlateWatch::save() {
    {
        const std::scoped_lock lock(mutex_);
        if (saveRefused_) {
            return;
        }
        dirty_ = true;
        ++savesPending_;
    }
    const auto write = [this] {
        {
            // One writer at a time; a later one finds nothing left to do
            // when an earlier one already wrote its change.
            const std::scoped_lock writing(saveMutex_);
            bool wanted = false;
            {
                const std::scoped_lock lock(mutex_);
                wanted = std::exchange(dirty_, false);
            }
            if (wanted && !writeWatchFile(services_.file, store_->plates()) && services_.log) {
                services_.log(gbk("关注列表无法保存到") + nameText(services_.file));
            }
        }
        const std::scoped_lock lock(mutex_);
        --savesPending_;
    };
    if (!tasks_.start("watch save", [write](std::stop_token) { write(); })) {
        // The program is ending and starts no more tasks: written here.
        write();
    }
}

bool PlateWatch::saving() const {
    const std::scoped_lock lock(mutex_);
    return savesPending_ > 0;
}

void PlateWatch::setInterval(std::chrono::minutes interval) {
    const std::scoped_lock lock(mutex_);
    interval_ = std::max(interval, std::chrono::minutes(0));
    if (interval_.count() > 0) {
        nextCheck_ = now() + interval_;
    } else {
        nextCheck_.reset();
    }
    poked_ = true;
    wake_.notify_all();
}

void PlateWatch::checkNow() {
    const std::scoped_lock lock(mutex_);
    checkWanted_ = true;
    poked_ = true;
    wake_.notify_all();
}

void PlateWatch::poke() {
    const std::scoped_lock lock(mutex_);
    poked_ = true;
    wake_.notify_all();
}

WatchStatus PlateWatch::status() const {
    const std::scoped_lock lock(mutex_);
    WatchStatus status;
    status.interval = interval_;
    status.checking = checking_;
    status.checksDone = checksDone_;
    if (!checking_ && nextCheck_) {
        status.untilNext = std::chrono::duration_cast<std::chrono::seconds>(
            std::max(*nextCheck_ - now(), Clock::duration::zero()));
    }
    return status;
}

void PlateWatch::keepInterval(std::stop_token stop) {
    std::unique_lock lock(mutex_);
    while (!stop.stop_requested()) {
        const Clock::time_point at = now();
        if (checkWanted_ || (nextCheck_ && at >= *nextCheck_)) {
            checkWanted_ = false;
            checking_ = true;
            lock.unlock();
            check(stop);
            lock.lock();
            checking_ = false;
            ++checksDone_;
            // From the end of this check: a long one never runs into the next.
            if (interval_.count() > 0) {
                nextCheck_ = now() + interval_;
            }
            continue;
        }
        Clock::duration sleep = kLongestSleep;
        if (nextCheck_) {
            sleep = std::min(sleep, *nextCheck_ - at);
        }
        wake_.wait_for(lock, stop, sleep, [this] { return poked_; });
        poked_ = false;
    }
}

void PlateWatch::check(std::stop_token stop) {
    // The plates as they are now; an answer for one removed meanwhile lands
    // nowhere. The answers come on worker threads, which may outlast this
    // call when the program ends: they hold what they use. Each worker writes
    // only its own plate's mark, and askPlates returns only after the last
    // worker has finished, under the query's lock.
    auto plates = std::make_shared<const std::vector<std::string>>(store_->plates());
    if (plates->empty()) {
        return;
    }
    auto freed = std::make_shared<std::vector<char>>(plates->size(), 0);
    QueryRun* query = nullptr;
    {
        const std::scoped_lock lock(mutex_);
        query = query_;
    }
    query->askPlates(
        *plates,
        [store = store_, plates, freed, stamp = services_.stamp](int index,
                                                                 const PlateAnswer& answer) {
            const auto k = static_cast<size_t>(index);
            if (store->applyAnswer(index, (*plates)[k], answer, stamp())) {
                (*freed)[k] = 1;
            }
        },
        stop);
    if (stop.stop_requested()) {
        return;
    }
    // In the list's order, whatever order the answers came in.
    std::vector<std::string> told;
    for (size_t k = 0; k < plates->size(); ++k) {
        if ((*freed)[k] != 0) {
            told.push_back((*plates)[k]);
        }
    }
    if (told.empty()) {
        return;
    }
    for (const std::string& plate : told) {
        if (services_.log) {
            services_.log(gbk("关注的号码 ") + plate + gbk(" 已可用"));
        }
    }
    if (services_.notify) {
        services_.notify(told);
    }
}

}  // namespace yhz
