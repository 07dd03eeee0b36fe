#include "app/watch_actions.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QItemSelectionModel>
#include <QWidget>

#include "app/watch_dialog.h"
#include "app/watch_notifier.h"
#include "query/plate_watch.h"

namespace yhz {

WatchActions::WatchActions(QWidget* window, PlateWatch& watch, std::function<bool()> runGoing,
                           std::shared_ptr<PlateStore> plates, QAbstractItemView* plateList,
                           QAction* addAction, QAbstractButton* openButton)
    : QObject(window),
      window_(window),
      watch_(watch),
      runGoing_(std::move(runGoing)),
      plates_(std::move(plates)),
      plateList_(plateList),
      notifier_(new WatchNotifier(window, [this] { openList(); })) {
    setObjectName(QStringLiteral("watchActions"));
    if (addAction != nullptr) {
        connect(addAction, &QAction::triggered, this, &WatchActions::addPlates);
    }
    if (openButton != nullptr) {
        connect(openButton, &QAbstractButton::clicked, this, &WatchActions::openList);
    }
}

WatchDialog* WatchActions::dialog() const {
    return dialog_;
}

void WatchActions::openList() {
    if (dialog_ == nullptr) {
        dialog_ = new WatchDialog(watch_, runGoing_, window_);
    }
    dialog_->show();
    dialog_->raise();
    dialog_->activateWindow();
}

void WatchActions::addPlates() {
    // The ticked rows, as every other entry of the menu takes them; with
    // none ticked, the highlighted ones (a right click highlights its row).
    std::vector<PlateRow> rows = plates_->read([](const PlateStore::Rows& all) {
        std::vector<PlateRow> ticked;
        for (const PlateRow& row : all) {
            if (row.checked) {
                ticked.push_back(row);
            }
        }
        return ticked;
    });
    if (rows.empty() && plateList_ != nullptr && plateList_->selectionModel() != nullptr) {
        for (const QModelIndex& index : plateList_->selectionModel()->selectedRows()) {
            if (std::optional<PlateRow> row = plates_->row(index.row())) {
                rows.push_back(std::move(*row));
            }
        }
    }
    watch_.add(rows);
}

}  // namespace yhz
