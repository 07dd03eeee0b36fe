#pragma once
// The main window: header band, the three pages and the operation log.

#include <QMenu>
#include <QWidget>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>

#include "app/list_stores.h"
#include "base/background_task.h"
#include "base/operation_log.h"
#include "base/program_values.h"
#include "base/working_set_trimmer.h"
#include "region/region_catalog.h"
#include "region/startup_data.h"
#include "retrieval/retrieval_progress.h"
#include "service_client/service_info.h"

class QTabWidget;
class QTimer;

namespace yhz {

class PlateWatch;
class QtWindowAccess;
class QueryRun;
class WatchActions;
class ServiceClient;
class WindowGrowth;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    // What the start-up data thread works from. A window made without it
    // (as in most tests) leaves its drop-down lists and the log empty.
    struct Startup {
        std::optional<ServiceInfo> info;
        InformationFetch fetch;
        // Hands out the query tokens, over the connections the start made;
        // the profile's service when empty.
        std::shared_ptr<ServiceClient> service;
        // A published version that an installed program leaves to the
        // package manager: one line in the log.
        std::string versionForPackageManager;
    };

    // The size of the window's inside when it opens, and the least it keeps.
    static constexpr QSize kFirstSize{840, 640};

    explicit MainWindow(std::optional<Startup> startup = std::nullopt, QWidget* parent = nullptr);
    // Ends the run's work first (shutdown()), so that no task outlives the
    // controls it writes to.
    ~MainWindow() override;

    // The end of the run: the window's interface stops taking work from
    // other threads, every background task is asked to stop, and each that
    // ends within `bound` is joined. Safe to call more than once.
    ShutdownReport shutdown(
        std::chrono::milliseconds bound = BackgroundTaskOwner::kDefaultShutdownBound);

    // Owner of every thread the window's work starts.
    BackgroundTaskOwner& tasks() { return *tasks_; }

    // The site list, relay address and query lock that the start-up thread fills.
    StartupValues& startupValues() { return *startupValues_; }
    // Tests: the service that hands out query tokens, instead of the
    // profile's. Only while no query run and no watch check goes on.
    void useServiceForQueries(const std::string& address);
    // Waits until the start-up data task has ended (tests).
    void waitForStartupData();

    WindowAccess& access();
    OperationLog& log() { return *log_; }
    // The rows of 超级列表框1 and 超级列表框3, their colours, the expired plates.
    const ListStores& lists() const { return lists_; }

    QMenu* plateMenu() const { return plateMenu_; }
    // The watch list, and what the window does with it.
    PlateWatch& watch() { return *watch_; }
    WatchActions& watchActions() { return *watchActions_; }

    // The watch list's file in the data folder.
    static std::filesystem::path watchFile();
    QMenu* segmentMenu() const { return segmentMenu_; }

    // The file dialog's filter and the extension that completes a bare name.
    static QString fileFilter();
    static QString defaultSuffix();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private slots:
    void onPageChanged(int page);
    void onTrimTick();

private:
    void buildHeader();
    void buildSegmentPage(QWidget* page);
    void buildFilterPage(QWidget* page);
    void buildQueryPage(QWidget* page);
    void buildAnnouncement();
    void buildLog();
    void buildMenus();
    void buildQueryRun(std::shared_ptr<ServiceClient> service);
    void buildWatch();

    ListStores lists_;
    QTabWidget* tabs_ = nullptr;
    QTimer* trimTimer_ = nullptr;
    QMenu* plateMenu_ = nullptr;
    QMenu* segmentMenu_ = nullptr;
    std::unique_ptr<QtWindowAccess> access_;
    std::unique_ptr<OperationLog> log_;
    std::unique_ptr<StartupValues> startupValues_ = std::make_unique<StartupValues>();
    WorkingSetTrimmer trimmer_{trimWorkingSet};
    std::unique_ptr<QueryRun> query_;
    // Checks through query_: made after it, gone before it.
    std::unique_ptr<PlateWatch> watch_;
    WatchActions* watchActions_ = nullptr;
    std::unique_ptr<WindowGrowth> growth_;
    // Pages and rows of the two retrievals, shared by their runs and the label.
    std::shared_ptr<RetrievalProgressMeter> segmentProgress_ =
        std::make_shared<RetrievalProgressMeter>();
    std::shared_ptr<RetrievalProgressMeter> expiredProgress_ =
        std::make_shared<RetrievalProgressMeter>();
    bool queryConnected_ = false;
    std::mutex startupMutex_;
    std::condition_variable startupEnded_;
    bool startupDone_ = true;
    int pageTop_ = 0;  // height of the tab bar above each page's area
    // Declared last, so destroyed first: whatever still runs is joined while
    // everything it may touch is alive.
    std::unique_ptr<BackgroundTaskOwner> tasks_ = std::make_unique<BackgroundTaskOwner>();
};

}  // namespace yhz
