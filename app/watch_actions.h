#pragma once
// The watch list in the main window: "加入关注" of the plate list's menu,
// the button that opens the watch list's window, and the notification when
// watched plates turn available.

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "plates/plate_store.h"

class QAbstractButton;
class QAbstractItemView;
class QAction;
class QWidget;

namespace yhz {

class PlateWatch;
class WatchDialog;
class WatchNotifier;

class WatchActions final : public QObject {
    Q_OBJECT
public:
    // `runGoing` tells whether a run of the plate list goes on.
    WatchActions(QWidget* window, PlateWatch& watch, std::function<bool()> runGoing,
                 std::shared_ptr<PlateStore> plates, QAbstractItemView* plateList,
                 QAction* addAction, QAbstractButton* openButton);

    // Shows the watch list's window, made on first use.
    void openList();
    WatchDialog* dialog() const;
    WatchNotifier* notifier() const { return notifier_; }

private:
    void addPlates();

    QWidget* window_;
    PlateWatch& watch_;
    std::function<bool()> runGoing_;
    std::shared_ptr<PlateStore> plates_;
    QPointer<QAbstractItemView> plateList_;
    QPointer<WatchDialog> dialog_;
    WatchNotifier* notifier_;
};

}  // namespace yhz
