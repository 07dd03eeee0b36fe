#pragma once
// The two paged retrievals from a regional site, each run on a background
// thread: the released segments into the segment list, the expired plates
// into the expired set and the day file.

#include <filesystem>
#include <stop_token>
#include <string>

#include "net/cookies.h"
#include "net/http_client.h"
#include "plates/expired_plates.h"
#include "plates/segment_store.h"
#include "retrieval/retrieval_progress.h"

namespace yhz {

class WindowAccess;
class OperationLog;

struct SiteRun {
    WindowAccess& window;
    OperationLog& log;
    const HttpClient& client;
    std::string address;  // the endpoint: site base address + path
    CookieJar cookies;    // the browser's cookies for the site when the run began
    std::string form;     // the endpoint's form text, without the page
    std::stop_token stop{};
    // Where the run counts its pages and rows for the window; none needed.
    RetrievalProgressMeter* progress = nullptr;
};

// Empties the segment list, then appends one row (subhd, tfrq) per entry of
// every page until a page holds no entry; logs the total once and the end,
// and enables 按钮3. A page that fails, repeats the page before it, or lies
// past the page limit ends the run early: the rows so far stay and the log
// says where it ended instead of the closing line. The announced total is
// shown only; pages past it are taken like any other. A stop
// ends it between pages without the closing steps.
void runSegmentRetrieval(const SiteRun& run, SegmentStore& segments);

// Where the expired plates of a run are cached: the folder and the two
// values that name the day file.
struct DayFileName {
    std::filesystem::path folder;
    std::string glbm;
    std::string hpzl;
};

// Appends the hphm of every entry of every page to `expired`, as pages
// arrive; then, when the site's last page was reached and any plate came,
// writes the day file of today; logs the outcome (a file that could not be
// written included) and enables 按钮2. A run that ends early, as the segment
// run does, keeps its plates in `expired` and writes no day file. A stop
// ends it between pages without the closing steps.
void runExpiredRetrieval(const SiteRun& run, ExpiredPlateSet& expired, const DayFileName& dayFile);

}  // namespace yhz
