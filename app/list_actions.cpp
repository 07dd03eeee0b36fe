#include "app/list_actions.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QFile>
#include <QMenu>
#include <QWidget>
#include <thread>

#include "app/core/window_access.h"
#include "app/file_dialog.h"
#include "app/list_models.h"
#include "plates/expansion.h"
#include "plates/list_operations.h"
#include "plates/plate_files.h"

namespace yhz {
namespace {

constexpr const char* kPlateList = "超级列表框3";
constexpr const char* kSegmentList = "超级列表框1";
constexpr std::string_view kFilterButton = "超级按钮_筛选号牌";

}  // namespace

ListActions::ListActions(QWidget* window, WindowAccess& access, ListStores stores, QMenu* plateMenu,
                         QMenu* segmentMenu, QString fileFilter, QString defaultSuffix)
    : QObject(window),
      window_(window),
      access_(access),
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

    if (auto* button = window_->findChild<QAbstractButton*>(QString::fromUtf8(kFilterButton))) {
        connect(button, &QAbstractButton::clicked, this, &ListActions::filterPlates);
    }
    if (auto* button = window_->findChild<QAbstractButton*>(QStringLiteral("超级按钮_导出号牌"))) {
        connect(button, &QAbstractButton::clicked, this,
                [this] { exportPlateFile(ExportRule::Available, true); });
    }

    // Cells without a colour are painted on the list's own background.
    if (auto* view = window_->findChild<QAbstractItemView*>(QString::fromUtf8(kPlateList))) {
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
    const char* list = menu->objectName() == QStringLiteral("菜单2") ? kSegmentList : kPlateList;
    connect(action, &QAction::triggered, this, [this, work = std::move(work), list] {
        work();
        // The view shows the result before the next event is handled.
        refresh(list);
    });
}

void ListActions::refresh(const char* listName) {
    auto* view = window_->findChild<QAbstractItemView*>(QString::fromUtf8(listName));
    if (auto* model = view == nullptr ? nullptr : qobject_cast<StoreModel*>(view->model())) {
        model->sync();
    }
}

void ListActions::inBackground(std::function<void()> work) {
    // The thread owns copies of the stores; it is never waited for, as the
    // GUI thread must not block on a worker that may be waiting for it.
    running_->fetch_add(1);
    std::thread([work = std::move(work), running = running_] {
        work();
        running->fetch_sub(1);
    }).detach();
}

void ListActions::filterPlates() {
    access_.setEnabled(kFilterButton, false);
    inBackground([&access = access_, segments = stores_.segments, plates = stores_.plates] {
        runExpansion(access, *segments, *plates);
    });
}

void ListActions::importPlateFile() {
    const QString name = FileDialog::getOpenFileName(window_, fileFilter_);
    if (name.isEmpty()) {
        return;
    }
    inBackground([file = toPath(name), plates = stores_.plates] { importPlates(file, *plates); });
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
    inBackground([&access = access_, file = toPath(name), plates = stores_.plates, rule] {
        exportPlates(*plates, rule, file, access);
    });
}

}  // namespace yhz
