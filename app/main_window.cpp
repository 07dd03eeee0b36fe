#include "app/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTimer>

#include "app/list_actions.h"
#include "app/list_models.h"
#include "app/list_views.h"
#include "app/message_box.h"
#include "app/pattern_menu.h"
#include "app/plate_preview.h"
#include "app/qt_common/qt_text.h"
#include "app/qt_common/widget_place.h"
#include "app/qt_window_access.h"
#include "app/query_progress_bar.h"
#include "app/retrieval_actions.h"
#include "app/retrieval_progress_label.h"
#include "app/skin.h"
#include "app/watch_actions.h"
#include "app/watch_notifier.h"
#include "app/window_growth.h"
#include "base/control_names.h"
#include "base/profile.h"
#include "base/program_values.h"
#include "browser/browser_view.h"
#include "query/plate_watch.h"
#include "query/query_run.h"
#include "service_client/service_client.h"
#include "text/encoding.h"

namespace yhz {
namespace {

QFont faceFont(const char* face, int pixels, bool bold) {
    QFont font(QString::fromUtf8(face));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QFont defaultFont(int pixels, bool bold) {
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

QLabel* transparentLabel(QWidget* parent, std::string_view name, int x, int y, int w, int h,
                         const char* caption, const QFont& font) {
    auto* label = place(new QLabel(QString::fromUtf8(caption), parent), name, x, y, w, h);
    label->setAttribute(Qt::WA_TranslucentBackground);
    label->setFont(font);
    return label;
}

QPushButton* pictureButton(QWidget* parent, std::string_view name, int x, int y, int w, int h,
                           const char* caption, int pixels) {
    auto* button = place(new QPushButton(QString::fromUtf8(caption), parent), name, x, y, w, h);
    button->setProperty("pictureButton", true);
    button->setFont(faceFont("微软雅黑", pixels, true));
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

QLineEdit* ruleEdit(QWidget* parent, std::string_view name, int x, int y, const char* text,
                    const char* colour) {
    auto* edit = place(new QLineEdit(QString::fromUtf8(text), parent), name, x, y, 168, 28);
    edit->setFont(faceFont("微软雅黑", 18, false));
    edit->setStyleSheet(QStringLiteral("QLineEdit { color: %1; background: white; }")
                            .arg(QString::fromLatin1(colour)));
    return edit;
}

}  // namespace

MainWindow::MainWindow(std::optional<Startup> startup, QWidget* parent) : QWidget(parent) {
    setObjectName(fromName(control::kMainWindow));
    setWindowTitle(QStringLiteral("云海舟查号软件"));
    setWindowIcon(QIcon(QStringLiteral(":/pictures/logo.png")));
    // 846 x 667 outside; the client area holds 840 x 640 of controls. That
    // is the least it shows: a larger window gives the room to the browser,
    // the lists and the log.
    setMinimumSize(kFirstSize);
    resize(kFirstSize);
    move(50, 50);

    buildHeader();
    tabs_ = place(new QTabWidget(this), control::kPages, 0, 80, 472, 560);
    tabs_->setFont(faceFont("微软雅黑", 20, true));
    auto* segmentPage = new QWidget;
    auto* filterPage = new QWidget;
    auto* queryPage = new QWidget;
    for (QWidget* page : {segmentPage, filterPage, queryPage}) {
        page->setFont(QApplication::font());
    }
    tabs_->addTab(segmentPage, QStringLiteral("号段采集"));
    tabs_->addTab(filterPage, QStringLiteral("号码过滤"));
    tabs_->addTab(queryPage, QStringLiteral("查号"));
    // Right of the tabs, on every page: the watch list's window.
    auto* watchButton = new QPushButton(QStringLiteral("关注列表"));
    watchButton->setObjectName(fromName(control::kWatchListButton));
    watchButton->setFont(defaultFont(14, false));
    watchButton->setCursor(Qt::PointingHandCursor);
    tabs_->setCornerWidget(watchButton, Qt::TopRightCorner);
    pageTop_ = tabs_->tabBar()->sizeHint().height();
    buildSegmentPage(segmentPage);
    buildFilterPage(filterPage);
    buildQueryPage(queryPage);
    buildLog();
    buildAnnouncement();
    buildMenus();
    growth_ = std::make_unique<WindowGrowth>(kFirstSize);
    addMainWindowGrowth(*growth_, this);

    access_ = std::make_unique<QtWindowAccess>(this);
    log_ = std::make_unique<OperationLog>(*access_);
    new ListActions(this, *access_, *log_, *tasks_, lists_, plateMenu_, segmentMenu_, fileFilter(),
                    defaultSuffix());
    RetrievalPlace retrieval{*access_,        *log_,          *tasks_,        *startupValues_,
                             lists_.segments, lists_.expired, dataDirectory()};
    retrieval.segmentProgress = segmentProgress_;
    retrieval.expiredProgress = expiredProgress_;
    new RetrievalActions(this, findChild<BrowserView*>(fromName(control::kBrowser)),
                         std::move(retrieval));

    connect(tabs_, &QTabWidget::currentChanged, this, &MainWindow::onPageChanged);
    buildQueryRun(startup && startup->service
                      ? startup->service
                      : std::make_shared<ServiceClient>(std::string(profile::kServiceAddress)));

    // The data folder must exist before anything saves into it; a failure
    // surfaces only when a save fails.
    ensureDirectory(dataDirectory() + "/");
    buildWatch();

    tasks_->start("working-set trim", [this](std::stop_token stop) { trimmer_.run(stop); });
    if (startup) {
        if (!startup->info) {
            log_->appendLog(gbk("无法获取服务信息，本次启动未检查版本"));
        }
        if (!startup->versionForPackageManager.empty()) {
            log_->appendLog(gbk("发现新版本 ") + startup->versionForPackageManager +
                            gbk("，请通过软件包管理器更新"));
        }
        startupDone_ = false;
        tasks_->start("start-up data", [this, info = std::move(startup->info),
                                        fetch = std::move(startup->fetch)](std::stop_token stop) {
            runStartupData({*access_, *log_, *startupValues_, info, fetch, stop});
            const std::lock_guard lock(startupMutex_);
            startupDone_ = true;
            startupEnded_.notify_all();
        });
    }
}

void MainWindow::useServiceForQueries(const std::string& address) {
    buildQueryRun(std::make_shared<ServiceClient>(address));
    watch_->useQuery(*query_);
}

std::filesystem::path MainWindow::watchFile() {
    return std::filesystem::path(dataDirectory()) / std::filesystem::path(u8"关注列表.txt");
}

void MainWindow::buildWatch() {
    WatchServices services;
    services.file = watchFile();
    services.log = [this](const std::string& line) { log_->appendLog(line); };
    // Filled in below, once the notifier exists; the thread starts after.
    auto notifier = std::make_shared<QPointer<WatchNotifier>>();
    services.notify = [notifier](const std::vector<std::string>& plates) {
        QStringList names;
        for (const std::string& plate : plates) {
            names.append(fromLocal(plate));
        }
        const QPointer<WatchNotifier> to = *notifier;
        if (to != nullptr) {
            QMetaObject::invokeMethod(
                to, [to, names] { to->tell(names); }, Qt::QueuedConnection);
        }
    };
    watch_ = std::make_unique<PlateWatch>(*query_, *tasks_, std::move(services));
    auto* plateList = findChild<QAbstractItemView*>(fromName(control::kPlateList));
    watchActions_ = new WatchActions(
        this, *watch_, [this] { return query_->listRunGoing(); }, lists_.plates, plateList,
        plateMenu_->findChild<QAction*>(QStringLiteral("加入关注")),
        tabs_->findChild<QPushButton*>(fromName(control::kWatchListButton)));
    *notifier = watchActions_->notifier();
    watch_->start();
}

void MainWindow::buildQueryRun(std::shared_ptr<ServiceClient> service) {
    QueryServices services;
    services.userId = userIdentifier();
    services.accessToken = [service, id = services.userId](std::stop_token stop) {
        return service->accessToken(id, stop);
    };
    // The relay's rows share the service's kept connections: on the same
    // host, the connection a token came over carries the next row.
    services.relayClient = service->connections(HttpLimits{});
    services.relayAddress = [values = startupValues_.get()] { return values->relayAddress(); };
    services.trimWorkingSet = [this] { trimmer_.request(); };
    services.log = [this](const std::string& line) { log_->appendLog(line); };
    query_ = std::make_unique<QueryRun>(*access_, *tasks_,
                                        QueryStores{lists_.plates, lists_.colours, lists_.expired},
                                        std::move(services));
    if (queryConnected_) {
        return;
    }
    queryConnected_ = true;
    auto* start = findChild<QPushButton*>(fromName(control::kStartQueryButton));
    auto* stop = findChild<QPushButton*>(fromName(control::kStopQueryButton));
    auto* bar = findChild<QueryProgressBar*>(fromName(control::kQueryProgress));
    connect(start, &QPushButton::clicked, this, [this, bar] {
        query_->startClicked();
        bar->follow();
    });
    connect(stop, &QPushButton::clicked, this, [this] { query_->stopClicked(); });
    auto* goOn = findChild<QPushButton*>(fromName(control::kContinueQueryButton));
    connect(goOn, &QPushButton::clicked, this, [this, bar] {
        query_->continueClicked();
        bar->follow();
    });
}

void MainWindow::waitForStartupData() {
    std::unique_lock lock(startupMutex_);
    startupEnded_.wait(lock, [this] { return startupDone_; });
}

ShutdownReport MainWindow::shutdown(std::chrono::milliseconds bound) {
    trimTimer_->stop();
    access_->close();
    return tasks_->shutdown(bound);
}

MainWindow::~MainWindow() {
    shutdown();
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance())) {
        detachSkin(*app);
    }
}

WindowAccess& MainWindow::access() {
    return *access_;
}

QString MainWindow::fileFilter() {
    return QStringLiteral("文本文件（*.txt）(*.txt)");
}

QString MainWindow::defaultSuffix() {
    return QStringLiteral(".txt");
}

void MainWindow::buildHeader() {
    auto* band = place(new QFrame(this), control::kHeaderBand, 0, 0, 840, 76);
    band->setFrameShape(QFrame::NoFrame);
    auto* logo = place(new QLabel(band), control::kLogo, 8, 8, 72, 68);
    logo->setPixmap(QPixmap(QStringLiteral(":/pictures/logo.png")));
    logo->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    auto* title = transparentLabel(band, control::kTitle, 80, 14, 508, 56,
                                   "云海舟车牌自编选号查询软件", faceFont("微软雅黑", 37, true));
    title->setAlignment(Qt::AlignVCenter | Qt::AlignLeft);
    // The retrievals' pages and rows, at the band's right end: nothing of a
    // page lies under it, and it shows whichever page is open.
    auto* progress = new RetrievalProgressLabel(band, segmentProgress_, expiredProgress_);
    progress->setObjectName(fromName(control::kRetrievalProgress));
    progress->setFont(defaultFont(12, false));

    trimTimer_ = new QTimer(this);
    trimTimer_->setObjectName(fromName(control::kTrimTimer));
    trimTimer_->setInterval(3000);
    connect(trimTimer_, &QTimer::timeout, this, &MainWindow::onTrimTick);
    trimTimer_->start();
}

void MainWindow::buildSegmentPage(QWidget* page) {
    const int top = pageTop_;
    auto* region = place(new QComboBox(page), control::kRegionChoice, 8, 45 - top, 184, 26);
    region->setMaxVisibleItems(20);
    place(new QPushButton(QStringLiteral("跳转该地区"), page), control::kOpenRegionButton, 200,
          40 - top, 88, 32);
    place(new QPushButton(QStringLiteral("采集逾期"), page), control::kExpiredButton, 288, 40 - top,
          88, 32);
    place(new QPushButton(QStringLiteral("采集号段"), page), control::kSegmentButton, 376, 40 - top,
          88, 32);
    place(new BrowserView(page), control::kBrowser, 3, 74 - top, 464, 480);
}

void MainWindow::buildFilterPage(QWidget* page) {
    const int top = pageTop_;
    auto* rules = place(new QGroupBox(QStringLiteral("号牌筛选"), page), control::kRulesBox, 4,
                        40 - top, 460, 140);
    auto* hint = transparentLabel(
        rules, control::kRulesHint, 9, 15, 443, 38,
        "*勾选下方投放号段，包含于不包含只支持数字，填888也可以筛选A8A8A8之类的号码[分隔符,]*",
        faceFont("微软雅黑", 15, true));
    hint->setWordWrap(true);
    hint->setStyleSheet(QStringLiteral("color: #c0392b;"));
    transparentLabel(rules, control::kIncludeCaption, 8, 64, 44, 24, "包含：",
                     QApplication::font());
    ruleEdit(rules, control::kIncludeEdit, 63, 61, "8,68,69", "#008000");
    transparentLabel(rules, control::kExcludeCaption, 8, 100, 52, 24, "不包含：",
                     QApplication::font());
    ruleEdit(rules, control::kExcludeEdit, 63, 97, "4,37", "#e00000");
    makePatternButton(rules, 233, 97, 24, 28);
    pictureButton(rules, control::kFilterButton, 260, 64, 188, 65, "筛选号牌", 18);

    auto* segments = place(new QGroupBox(QStringLiteral("投放号段"), page), control::kSegmentBox, 5,
                           188 - top, 464, 360);
    makeReportList(segments, control::kSegmentList, 14, 23, 430, 328,
                   new SegmentListModel(lists_.segments, this), {200, 160});
}

void MainWindow::buildQueryPage(QWidget* page) {
    const int top = pageTop_;
    auto* box = place(new QGroupBox(QStringLiteral("查询是否占用"), page), control::kQueryBox, 2,
                      std::max(0, 32 - top), 470, 516);
    pictureButton(box, control::kStartQueryButton, 14, 24, 140, 50, "开始查询", 20);
    pictureButton(box, control::kStopQueryButton, 164, 24, 140, 50, "停止查询", 20)
        ->setEnabled(false);
    pictureButton(box, control::kExportButton, 314, 24, 140, 50, "导出未选号牌", 20);
    const QFont bold20 = faceFont("微软雅黑", 20, true);
    transparentLabel(box, control::kRemainingCaption, 40, 84, 120, 28, "剩余查询数：", bold20);
    transparentLabel(box, control::kRemainingLabel, 154, 84, 52, 28, "", bold20)
        ->setStyleSheet(QStringLiteral("color: #1565c0;"));
    // Between the two counters: it asks about what the remaining count
    // leaves, and moves nothing of the page.
    auto* goOn = place(new QPushButton(QStringLiteral("继续查询"), box),
                       control::kContinueQueryButton, 208, 86, 58, 24);
    goOn->setFont(defaultFont(12, false));
    goOn->setToolTip(QStringLiteral(
        "只查询还没有结果的号码（未查询、失败或出错的），已查出可用、占用或逾期的号码保持不变"));
    transparentLabel(box, control::kAvailableCaption, 268, 84, 108, 28, "可用数量：", bold20);
    transparentLabel(box, control::kAvailableLabel, 368, 84, 52, 28, "", bold20)
        ->setStyleSheet(QStringLiteral("color: #008000;"));
    place(new QComboBox(box), control::kRelayChoice, 35, 113, 156, 23);
    transparentLabel(box, control::kLegend, 40, 138, 394, 28,
                     "绿色可用，红色占用，蓝色逾期,灰色查询中", bold20);
    auto* list =
        makeReportList(box, control::kPlateList, 10, 172, 432, 336,
                       new PlateListModel(lists_.plates, lists_.colours, this), {50, 125, 190});
    new PlatePreview(list, box);
    // Beside the relay choice, where the page has room: nothing of the
    // page moves for it.
    auto* bar = place(new QueryProgressBar(box, [this] { return query_->progress(); }),
                      control::kQueryProgress, 200, 113, 242, 23);
    bar->setFont(defaultFont(12, false));
    // A list that shrinks is shown anew; emptied, it has no run's figures.
    QAbstractItemModel* rows = list->model();
    connect(rows, &QAbstractItemModel::modelReset, bar, [rows, bar] {
        if (rows->rowCount() == 0) {
            bar->clear();
        }
    });
}

void MainWindow::buildAnnouncement() {
    auto* box = place(new QGroupBox(QStringLiteral("公告："), this), control::kAnnouncementBox, 76,
                      220, 328, 264);
    box->setFont(defaultFont(18, true));
    auto* text =
        transparentLabel(box, control::kAnnouncement, 16, 26, 296, 212, "", defaultFont(18, true));
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    box->raise();
}

void MainWindow::buildLog() {
    auto* box =
        place(new QGroupBox(QStringLiteral("操作日志"), this), control::kLogBox, 472, 80, 368, 560);
    auto* log = place(new QPlainTextEdit(box), control::kLogPane, 8, 24, 352, 530);
    log->setReadOnly(true);
    log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    log->setFont(defaultFont(15, false));
    log->setUndoRedoEnabled(false);
}

void MainWindow::buildMenus() {
    plateMenu_ = new QMenu(this);
    plateMenu_->setObjectName(fromName(control::kPlateMenu));
    for (const char* item : {"全选", "反选", "删除选中", "全部删除", "去除重复",
                             "导入号码[一行一个]", "导出失败号码", "导出选中"}) {
        plateMenu_->addAction(QString::fromUtf8(item))->setObjectName(QString::fromUtf8(item));
    }
    // After the list's own entries: the ticked (or highlighted) plates go to
    // the watch list.
    plateMenu_->addSeparator();
    plateMenu_->addAction(QStringLiteral("加入关注"))->setObjectName(QStringLiteral("加入关注"));
    segmentMenu_ = new QMenu(this);
    segmentMenu_->setObjectName(fromName(control::kSegmentMenu));
    for (const char* item : {"全选", "反选"}) {
        segmentMenu_->addAction(QString::fromUtf8(item))->setObjectName(QString::fromUtf8(item));
    }
    auto popupOver = [this](std::string_view listName, QMenu* menu) {
        auto* view = findChild<QAbstractItemView*>(QString::fromUtf8(listName));
        connect(view, &QWidget::customContextMenuRequested, menu,
                [menu](const QPoint&) { menu->popup(QCursor::pos()); });
    };
    popupOver(control::kPlateList, plateMenu_);
    popupOver(control::kSegmentList, segmentMenu_);
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (growth_) {
        growth_->apply(size());
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const MessageAnswer answer = MessageBox::show(
        nullptr,
        {gbk("您真的要退出软件吗？"), gbk("信息："), MessageButtons::YesNo, MessageIcon::None});
    if (answer == MessageAnswer::Yes) {
        event->accept();
    } else {
        event->ignore();
    }
}

void MainWindow::onPageChanged(int /*page*/) {
    // The announcement is read once; any page change puts it away for good.
    if (auto* box = findChild<QWidget*>(fromName(control::kAnnouncementBox))) {
        box->hide();
    }
}

void MainWindow::onTrimTick() {
    // The trim runs on its own thread; the tick only wakes it.
    trimmer_.request();
}

}  // namespace yhz
