#include "retrieval/retrieval_buttons.h"

#include "base/background_task.h"
#include "base/control_names.h"
#include "base/operation_log.h"
#include "base/window_access.h"
#include "net/cookies.h"
#include "region/region_catalog.h"
#include "retrieval/expired_day_file.h"
#include "retrieval/page_reader.h"
#include "retrieval/site_interface.h"
#include "retrieval/site_retrieval.h"
#include "text/encoding.h"

namespace yhz {
namespace {

void tell(WindowAccess& window, const char* text, MessageIcon icon) {
    window.showMessage({gbk(text), gbk("温馨提示:"), MessageButtons::Ok, icon});
}

void pageError(WindowAccess& window) {
    tell(window, "当前采集网页操作有误", MessageIcon::Critical);
}

// The site to talk to, or a hint to the user and "".
std::string siteOrHint(RetrievalPlace& place) {
    std::string site = selectedSite(place.window, place.values);
    if (site.empty()) {
        tell(place.window, "请先选择地区", MessageIcon::Information);
    }
    return site;
}

}  // namespace

std::string selectedSite(const WindowAccess& window, const StartupValues& values) {
    const int selected = window.selection(control::kRegionChoice);
    return selected < 0 ? std::string() : values.site(selected + 1);
}

std::optional<std::string> pressOpenRegion(RetrievalPlace& place) {
    place.window.setVisible(control::kAnnouncementBox, false);
    const std::string site = siteOrHint(place);
    if (site.empty()) {
        return std::nullopt;
    }
    return site + std::string(kSelfSelectionPath);
}

namespace {

struct SiteAndChoices {
    std::string site;
    PageChoices choices;
};

// The chosen region's site and what the user chose on its page; nullopt when
// either is missing (the hint for a missing region is given).
std::optional<SiteAndChoices> siteAndChoices(RetrievalPlace& place, PageReader& page) {
    std::string site = siteOrHint(place);
    if (site.empty()) {
        return std::nullopt;
    }
    std::optional<PageChoices> choices = page.readChoices();
    if (!choices) {
        return std::nullopt;
    }
    return SiteAndChoices{std::move(site), std::move(*choices)};
}

}  // namespace

bool pressSegmentButton(RetrievalPlace& place, PageReader& page) {
    const std::optional<SiteAndChoices> read = siteAndChoices(place, page);
    if (!read) {
        return false;
    }
    const std::string& site = read->site;
    const PageChoices* choices = &read->choices;
    if (choices->glbm.empty() || choices->hpzl.empty() || choices->startTime.empty() ||
        choices->endTime.empty()) {
        pageError(place.window);
        return false;
    }
    place.window.setEnabled(control::kSegmentButton, false);
    // Counted from the press, so that the window never shows the last run's end.
    place.segmentProgress->begin();
    const bool started = place.tasks.start(
        "segment retrieval",
        [&window = place.window, &log = place.log, segments = place.segments,
         progress = place.segmentProgress,
         limits = place.limits](std::stop_token stop, const TaskTexts& texts) {
            const HttpClient client = HttpClient::keepingConnections(limits);
            runSegmentRetrieval(
                {window, log, client, texts[0], texts[1], texts[2], stop, progress.get()},
                *segments);
        },
        {site + std::string(kSegmentPath), browserCookies(site), segmentForm(*choices)});
    if (!started) {
        place.segmentProgress->end(RetrievalProgress::State::Stopped);
        place.window.setEnabled(control::kSegmentButton, true);
    }
    return started;
}

bool pressExpiredButton(RetrievalPlace& place, PageReader& page) {
    const std::optional<SiteAndChoices> read = siteAndChoices(place, page);
    if (!read) {
        return false;
    }
    const std::string& site = read->site;
    const PageChoices* choices = &read->choices;
    place.expired->clear();
    if (choices->glbm.empty() || choices->hpzl.empty()) {
        pageError(place.window);
        return false;
    }
    // The values name a file: a page whose values could lead the name out of
    // the data folder is as wrong as one without them.
    const std::optional<std::filesystem::path> dayFile =
        expiredDayFilePath(place.dataDirectory, todayText(), choices->glbm, choices->hpzl);
    if (!dayFile) {
        pageError(place.window);
        return false;
    }
    if (std::optional<std::vector<std::string>> plates = readExpiredDayFile(*dayFile)) {
        place.expired->appendAll(std::move(*plates));
        tell(place.window, "初始化完毕！", MessageIcon::Information);
        return false;
    }
    place.window.setEnabled(control::kExpiredButton, false);
    place.expiredProgress->begin();
    const bool started = place.tasks.start(
        "expired retrieval",
        [&window = place.window, &log = place.log, expired = place.expired,
         folder = place.dataDirectory, progress = place.expiredProgress,
         limits = place.limits](std::stop_token stop, const TaskTexts& texts) {
            const HttpClient client = HttpClient::keepingConnections(limits);
            runExpiredRetrieval(
                {window, log, client, texts[0], texts[1], texts[2], stop, progress.get()}, *expired,
                {folder, texts[3], texts[4]});
        },
        {site + std::string(kExpiredPath), browserCookies(site),
         expiredForm(choices->glbm, choices->hpzl), choices->glbm, choices->hpzl});
    if (!started) {
        place.expiredProgress->end(RetrievalProgress::State::Stopped);
        place.window.setEnabled(control::kExpiredButton, true);
    }
    return started;
}

}  // namespace yhz
