#pragma once
// What the two lists' menus and the buttons 超级按钮_筛选号牌 and
// 超级按钮_导出号牌 do. Menu operations run on the GUI thread as one step
// each; expansion, import and the status-based exports run as background
// tasks of the window's owner and reach the window only through WindowAccess.

#include <QObject>
#include <QString>
#include <atomic>
#include <filesystem>
#include <functional>
#include <memory>
#include <stop_token>

#include "app/list_stores.h"
#include "plates/plate_files.h"

class QMenu;
class QWidget;

namespace yhz {

class BackgroundTaskOwner;
class OperationLog;
class WindowAccess;
class StoreModel;

class ListActions final : public QObject {
    Q_OBJECT
public:
    ListActions(QWidget* window, WindowAccess& access, OperationLog& log,
                BackgroundTaskOwner& tasks, ListStores stores, QMenu* plateMenu, QMenu* segmentMenu,
                QString fileFilter, QString defaultSuffix);

    // Background tasks started here that have not finished yet.
    int runningTasks() const { return running_->load(); }

    static std::filesystem::path toPath(const QString& fileName);

private:
    void connectMenu(QMenu* menu, const char* item, std::function<void()> work);
    void inBackground(const char* name, std::function<void(std::stop_token)> work);
    void refresh(std::string_view listName);

    void filterPlates();
    void importPlateFile();
    void exportPlateFile(ExportRule rule, bool inBackground);

    QWidget* window_;
    WindowAccess& access_;
    OperationLog& log_;
    BackgroundTaskOwner& tasks_;
    ListStores stores_;
    QString fileFilter_;
    QString defaultSuffix_;
    std::shared_ptr<std::atomic<int>> running_ = std::make_shared<std::atomic<int>>(0);
};

}  // namespace yhz
