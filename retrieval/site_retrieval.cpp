#include "retrieval/site_retrieval.h"

#include <vector>

#include "base/control_names.h"
#include "base/operation_log.h"
#include "base/window_access.h"
#include "plates/expired_plates.h"
#include "plates/segment_store.h"
#include "retrieval/expired_day_file.h"
#include "retrieval/site_interface.h"
#include "retrieval/site_pager.h"
#include "text/encoding.h"

namespace yhz {
namespace {

std::string element(long k, const char* member) {
    return "content[" + std::to_string(k) + "]." + member;
}

// Begins the run's count and ends it on every way out of the run.
class ProgressScope {
public:
    explicit ProgressScope(const SiteRun& run) : run_(run) {
        if (run_.progress != nullptr) {
            run_.progress->begin();
        }
    }
    ~ProgressScope() {
        if (run_.progress != nullptr) {
            run_.progress->end(run_.stop.stop_requested());
        }
    }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

    void pageTaken(long long rows, long long announced) const {
        if (run_.progress != nullptr) {
            run_.progress->pageTaken(rows, announced);
        }
    }

private:
    const SiteRun& run_;
};

}  // namespace

void runSegmentRetrieval(const SiteRun& run, SegmentStore& segments) {
    const ProgressScope progress(run);
    segments.clear();
    SitePager pager(run.client, run.address, run.cookies, run.form, run.stop);
    bool reported = false;
    while (std::optional<ScriptJson> reply = pager.next()) {
        const ScriptJson list = reply->getObject("data").getObject("list");
        const long long total = leadingInteger(list.getText("totalCount"));
        if (total != 0 && !reported) {
            reported = true;
            run.log.appendLog(gbk("当前共检索到") + std::to_string(total) +
                              gbk("个数据,请等待获取完毕"));
        }
        // A missing content member counts -2: a site that kept answering so
        // would never reach an empty page, so any count below 1 is the last.
        const long count = list.count("content");
        if (count < 1) {
            break;
        }
        std::vector<SegmentRow> rows;
        rows.reserve(static_cast<size_t>(count));
        for (long k = 0; k < count; ++k) {
            rows.push_back(
                {list.getText(element(k, "subhd")), list.getText(element(k, "tfrq")), false});
        }
        segments.appendAll(std::move(rows), [](SegmentRow&, int) {});
        progress.pageTaken(count, total);
    }
    if (run.stop.stop_requested()) {
        return;
    }
    run.log.appendLog(gbk("号段获取完毕！请手动跳转筛选页面!"));
    run.window.setEnabled(control::kSegmentButton, true);
}

void runExpiredRetrieval(const SiteRun& run, ExpiredPlateSet& expired, const DayFileName& dayFile) {
    const ProgressScope progress(run);
    run.log.appendLog(gbk("正获取逾期数据...."));
    SitePager pager(run.client, run.address, run.cookies, run.form, run.stop);
    long long storedTotal = 0;
    std::vector<std::string> collected;
    while (std::optional<ScriptJson> reply = pager.next()) {
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
        collected.insert(collected.end(), plates.begin(), plates.end());
        // Query workers see each page as soon as it has arrived.
        expired.appendAll(std::move(plates));
        progress.pageTaken(count, storedTotal);
    }
    if (run.stop.stop_requested()) {
        return;
    }
    if (collected.empty()) {
        run.log.appendLog(gbk("逾期获取失败！请确认是否设置正确!"));
    } else {
        // The name is formed now, so a run past midnight files under the new day.
        if (const auto file =
                expiredDayFilePath(dayFile.folder, todayText(), dayFile.glbm, dayFile.hpzl)) {
            writeExpiredDayFile(*file, collected);
        }
        run.log.appendLog(gbk("逾期获取完毕！请手动跳转筛选页面!"));
    }
    run.window.setEnabled(control::kExpiredButton, true);
}

}  // namespace yhz
