#pragma once
// What the buttons of the page "号段采集" do: 按钮1 opens the chosen region's
// self-selection page, 按钮3 and 按钮2 read the choices made in it and start
// the segment and the expired-plate retrieval as background tasks.
// Called on the GUI thread.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "net/http_client.h"
#include "plates/expired_plates.h"
#include "plates/segment_store.h"
#include "retrieval/retrieval_progress.h"

namespace yhz {

class BackgroundTaskOwner;
class OperationLog;
class PageReader;
class StartupValues;
class WindowAccess;

struct RetrievalPlace {
    WindowAccess& window;
    OperationLog& log;
    BackgroundTaskOwner& tasks;
    const StartupValues& values;
    std::shared_ptr<SegmentStore> segments;
    std::shared_ptr<ExpiredPlateSet> expired;
    std::filesystem::path dataDirectory;
    HttpLimits limits{};
    // What each run has taken so far, for the window beside its button.
    std::shared_ptr<RetrievalProgressMeter> segmentProgress =
        std::make_shared<RetrievalProgressMeter>();
    std::shared_ptr<RetrievalProgressMeter> expiredProgress =
        std::make_shared<RetrievalProgressMeter>();
};

// The site base address of the region chosen in 组合框1; "" while none is
// chosen or the site list has no entry for it yet.
std::string selectedSite(const WindowAccess& window, const StartupValues& values);

// 按钮1: hides the announcement and answers the page to open. Without a
// site (no region chosen, or the list not filled yet) it asks the user to
// choose a region and answers nullopt.
std::optional<std::string> pressOpenRegion(RetrievalPlace& place);

// 按钮3. Returns whether a retrieval was started.
bool pressSegmentButton(RetrievalPlace& place, PageReader& page);

// 按钮2. Returns whether a retrieval was started (a day file read is not one).
bool pressExpiredButton(RetrievalPlace& place, PageReader& page);

}  // namespace yhz
