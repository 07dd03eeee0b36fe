#pragma once
// Tells the user that watched plates have turned available: a message of the
// system tray where the desktop has one, else a small window of the
// program's own at the bottom right of the screen, which stays on top for a
// while. Clicking either opens the watch list.

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class QSystemTrayIcon;
class QWidget;

namespace yhz {

class WatchNotifier final : public QObject {
    Q_OBJECT
public:
    // `openList` shows the watch list's window.
    WatchNotifier(QWidget* window, std::function<void()> openList);
    // The window of its own is no child of the main window: it goes here.
    ~WatchNotifier() override;

    // GUI thread.
    void tell(const QStringList& plates);

    // The window of the program's own, while it shows (tests).
    QWidget* popup() const { return popup_; }

    static QString title();
    static QString message(const QStringList& plates);

private:
    void showPopup(const QStringList& plates);

    QWidget* window_;
    std::function<void()> openList_;
    QSystemTrayIcon* tray_ = nullptr;
    QPointer<QWidget> popup_;
};

}  // namespace yhz
