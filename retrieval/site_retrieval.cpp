#include "retrieval/site_retrieval.h"

#include <vector>

#include "base/control_names.h"
#include "base/operation_log.h"
#include "base/window_access.h"
#include "plates/expired_plates.h"
#include "plates/segment_store.h"
#include "retrieval/expired_day_file.h"
#include "retrieval/page_guard.h"
#include "retrieval/site_interface.h"
#include "retrieval/site_pager.h"
#include "text/encoding.h"

namespace yhz {
namespace {

std::string element(long k, const char* member) {
    return "content[" + std::to_string(k) + "]." + member;
}

// Begins the run's count and ends it on every way out of the run: as the
// run says it ended, or as stopped when the program stopped it.
class ProgressScope {
public:
    explicit ProgressScope(const SiteRun& run) : run_(run) {
        if (run_.progress != nullptr) {
            run_.progress->begin();
        }
    }
    ~ProgressScope() {
        if (run_.progress != nullptr) {
            run_.progress->end(run_.stop.stop_requested() ? RetrievalProgress::State::Stopped
                                                          : ending_);
        }
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    void pageTaken(long long rows, long long announced) const {
        if (run_.progress != nullptr) {
            run_.progress->pageTaken(rows, announced);
        }
    }
    void endedBy(RunEnd end) {
        ending_ = end == RunEnd::LastPage ? RetrievalProgress::State::Ended
                                          : RetrievalProgress::State::EndedEarly;
    }

private:
    const SiteRun& run_;
    RetrievalProgress::State ending_ = RetrievalProgress::State::Ended;
};

// The log line of a run that ended before the site's last page (GBK); what
// is "号段" or "逾期". The expired plates of such a run are not saved for
// the day, and the line says so.
std::string earlyEndLine(std::string_view what, RunEnd end, long page, long long kept,
                         bool dayFile) {
    const std::string n = std::to_string(page);
    std::string line(what);
    switch (end) {
        case RunEnd::PageFailed:
            line += "获取中断！第" + n + "页获取失败";
            break;
        case RunEnd::Repeated:
            line += "获取结束！第" + n + "页与上一页数据重复";
            break;
        case RunEnd::PageLimit:
            line += "获取结束！已达" + std::to_string(PageGuard::kMaxPages) + "页上限";
            break;
        case RunEnd::LastPage:
            break;
    }
    if (kept > 0) {
        line += ",已保留取到的" + std::to_string(kept) + "个数据";
        if (dayFile) {
            line += ",未保存当天缓存";
        }
    }
    return gbk(line + "!");
}

}  // namespace

void runSegmentRetrieval(const SiteRun& run, SegmentStore& segments) {
    ProgressScope progress(run);
    segments.clear();
    SitePager pager(run.client, run.address, run.cookies, run.form, run.stop);
    PageGuard guard;
    long long reported = 0;
    RunEnd end = RunEnd::LastPage;
    while (const std::optional<ScriptJson> reply = pager.next()) {
        const ScriptJson list = reply->getObject("data").getObject("list");
        const long long total = leadingInteger(list.getText("totalCount"));
        if (total != 0 && reported == 0) {
            reported = total;
            run.log.appendLog(gbk("当前共检索到") + std::to_string(total) +
                              gbk("个数据,请等待获取完毕"));
        }
        // A missing content member counts -2: a site that kept answering so
        // would never reach an empty page, so any count below 1 is the last.
        const long count = list.count("content");
        if (count < 1) {
            break;
        }
        std::vector<std::string> texts;
        texts.reserve(2 * static_cast<size_t>(count));
        for (long k = 0; k < count; ++k) {
            texts.push_back(list.getText(element(k, "subhd")));
            texts.push_back(list.getText(element(k, "tfrq")));
        }
        if (const std::optional<RunEnd> refused = guard.admit(pager.page(), count, texts)) {
            end = *refused;
            break;
        }
        std::vector<SegmentRow> rows;
        rows.reserve(static_cast<size_t>(count));
        for (size_t k = 0; k + 1 < texts.size(); k += 2) {
            rows.push_back({std::move(texts[k]), std::move(texts[k + 1]), false});
        }
        segments.appendAll(std::move(rows), [](SegmentRow&, int) {});
        progress.pageTaken(count, total);
    }
    if (run.stop.stop_requested()) {
        return;
    }
    if (pager.failed()) {
        end = RunEnd::PageFailed;
    }
    progress.endedBy(end);
    run.log.appendLog(end == RunEnd::LastPage
                          ? gbk("号段获取完毕！请手动跳转筛选页面!")
                          : earlyEndLine("号段", end, pager.page(), guard.taken(), false));
    run.window.setEnabled(control::kSegmentButton, true);
}

void runExpiredRetrieval(const SiteRun& run, ExpiredPlateSet& expired, const DayFileName& dayFile) {
    ProgressScope progress(run);
    run.log.appendLog(gbk("正获取逾期数据...."));
    SitePager pager(run.client, run.address, run.cookies, run.form, run.stop);
    PageGuard guard;
    long long storedTotal = 0;
    std::vector<std::string> collected;
    RunEnd end = RunEnd::LastPage;
    while (const std::optional<ScriptJson> reply = pager.next()) {
        const ScriptJson data = reply->getObject("data");
        if (storedTotal == 0) {
            storedTotal = leadingInteger(data.getText("totalCount"));
            run.log.appendLog(gbk("当前共检索到") + std::to_string(storedTotal) +
                              gbk("个数据,请等待获取完毕！"));
        }
        const long count = data.count("content");
        if (count < 1) {
            break;
        }
        std::vector<std::string> plates;
        plates.reserve(static_cast<size_t>(count));
        for (long k = 0; k < count; ++k) {
            plates.push_back(data.getText(element(k, "hphm")));
        }
        if (const std::optional<RunEnd> refused = guard.admit(pager.page(), count, plates)) {
            end = *refused;
            break;
        }
        collected.insert(collected.end(), plates.begin(), plates.end());
        // Query workers see each page as soon as it has arrived.
        expired.appendAll(std::move(plates));
        progress.pageTaken(count, storedTotal);
    }
    if (run.stop.stop_requested()) {
        return;
    }
    if (pager.failed()) {
        end = RunEnd::PageFailed;
    }
    progress.endedBy(end);
    // Only a run that reached the site's last page is the day's list: a
    // partial one would stand in for the site until midnight.
    if (end != RunEnd::LastPage) {
        run.log.appendLog(earlyEndLine("逾期", end, pager.page(),
                                       static_cast<long long>(collected.size()), true));
    }
    if (collected.empty()) {
        run.log.appendLog(gbk("逾期获取失败！请确认是否设置正确!"));
    } else if (end == RunEnd::LastPage) {
        // The name is formed now, so a run past midnight files under the new day.
        const std::optional<std::filesystem::path> file =
            expiredDayFilePath(dayFile.folder, todayText(), dayFile.glbm, dayFile.hpzl);
        if (!file || !writeExpiredDayFile(*file, collected)) {
            run.log.appendLog(gbk("逾期缓存文件保存失败！下次采集将重新从网站获取"));
        }
        run.log.appendLog(gbk("逾期获取完毕！请手动跳转筛选页面!"));
    }
    run.window.setEnabled(control::kExpiredButton, true);
}

}  // namespace yhz
