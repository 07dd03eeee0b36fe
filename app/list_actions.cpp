#include "app/list_actions.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QWidget>

#include "app/file_dialog.h"
#include "app/list_models.h"
#include "app/qt_common/qt_text.h"
#include "base/background_task.h"
#include "base/control_names.h"
#include "base/window_access.h"
#include "plates/expansion.h"
#include "plates/list_operations.h"
#include "plates/plate_files.h"

namespace yhz {

ListActions::ListActions(QWidget* window, WindowAccess& access, OperationLog& log,
                         BackgroundTaskOwner& tasks, ListStores stores, QMenu* plateMenu,
                         QMenu* segmentMenu, QString fileFilter, QString defaultSuffix)
    : QObject(window),
      window_(window),
      access_(access),
      log_(log),
      tasks_(tasks),
      stores_(std::move(stores)),
      fileFilter_(std::move(fileFilter)),
      defaultSuffix_(std::move(defaultSuffix)) {
    setObjectName(QStringLiteral("listActions"));
    auto plates = stores_.plates;
    auto segments = stores_.segments;
    auto colours = stores_.colours;

    connectMenu(plateMenu, "全选", [plates] { plates->checkAll(); });
    connectMenu(plateMenu, "反选", [plates] { plates->invertChecks(); });
    connectMenu(plateMenu, "删除选中", [plates] { deleteCheckedPlates(*plates); });
    connectMenu(plateMenu, "全部删除", [plates, colours] { deleteAllPlates(*plates, *colours); });
    connectMenu(plateMenu, "去除重复", [plates] { removeDuplicatePlates(*plates); });
    connectMenu(plateMenu, "导入号码[一行一个]", [this] { importPlateFile(); });
    connectMenu(plateMenu, "导出失败号码", [this] { exportPlateFile(ExportRule::Failed, true); });
    connectMenu(plateMenu, "导出选中", [this] { exportPlateFile(ExportRule::Checked, false); });
    connectMenu(segmentMenu, "全选", [segments] { segments->checkAll(); });
    connectMenu(segmentMenu, "反选", [segments] { segments->invertChecks(); });

    if (auto* button = window_->findChild<QAbstractButton*>(fromName(control::kFilterButton))) {
        connect(button, &QAbstractButton::clicked, this, &ListActions::filterPlates);
    }
    if (auto* button = window_->findChild<QAbstractButton*>(fromName(control::kExportButton))) {
        connect(button, &QAbstractButton::clicked, this,
                [this] { exportPlateFile(ExportRule::Available, true); });
    }

    // Cells without a colour are painted on the list's own background.
    if (auto* view = window_->findChild<QAbstractItemView*>(fromName(control::kPlateList))) {
        colours->setListColours(toColourRef(view->palette().color(QPalette::Text)),
                                toColourRef(view->palette().color(QPalette::Base)));
    }
}

std::filesystem::path ListActions::toPath(const QString& fileName) {
    return std::filesystem::path(QFile::encodeName(fileName).toStdString());
}

void ListActions::connectMenu(QMenu* menu, const char* item, std::function<void()> work) {
    if (menu == nullptr) {
        return;
    }
    auto* action = menu->findChild<QAction*>(QString::fromUtf8(item));
    if (action == nullptr) {
        return;
    }
    const std::string_view list = menu->objectName() == fromName(control::kSegmentMenu)
                                      ? control::kSegmentList
                                      : control::kPlateList;
    connect(action, &QAction::triggered, this, [this, work = std::move(work), list] {
        work();
        // The view shows the result before the next event is handled.
        refresh(list);
    });
}

void ListActions::refresh(std::string_view listName) {
    auto* view = window_->findChild<QAbstractItemView*>(fromName(listName));
    if (auto* model = view == nullptr ? nullptr : qobject_cast<StoreModel*>(view->model())) {
        model->sync();
    }
}

void ListActions::inBackground(const char* name, std::function<void(std::stop_token)> work) {
    // The task owns copies of the stores; the GUI thread never waits for it,
    // as it may itself be waiting for the GUI thread (a message box).
    running_->fetch_add(1);
    const bool started =
        tasks_.start(name, [work = std::move(work), running = running_](std::stop_token stop) {
            work(stop);
            running->fetch_sub(1);
        });
    if (!started) {
        running_->fetch_sub(1);
    }
}

void ListActions::filterPlates() {
    access_.setEnabled(control::kFilterButton, false);
    inBackground("expansion", [&access = access_, &log = log_, segments = stores_.segments,
                               plates = stores_.plates](std::stop_token stop) {
        runExpansion(access, *segments, *plates, stop, &log);
    });
}

void ListActions::importPlateFile() {
    const QString name = FileDialog::getOpenFileName(window_, fileFilter_);
    if (name.isEmpty()) {
        return;
    }
    inBackground("import", [&access = access_, file = toPath(name),
                            plates = stores_.plates](std::stop_token stop) {
        reportImport(importPlates(file, *plates, stop), file, access);
    });
}

void ListActions::exportPlateFile(ExportRule rule, bool background) {
    const QString name = FileDialog::getSaveFileName(window_, fileFilter_, defaultSuffix_);
    if (name.isEmpty()) {
        return;
    }
    if (!background) {
        exportPlates(*stores_.plates, rule, toPath(name), access_);
        return;
    }
    inBackground("export", [&access = access_, file = toPath(name), plates = stores_.plates,
                            rule](std::stop_token) { exportPlates(*plates, rule, file, access); });
}

}  // namespace yhz
