#include "app/watch_notifier.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QVBoxLayout>
#include <QWidget>

namespace yhz {
namespace {

// Long enough to be seen on coming back to the desk, short enough not to pile up.
constexpr int kShownMs = 30000;
// Plates named in one message; the rest are counted.
constexpr int kNamed = 3;

}  // namespace

WatchNotifier::WatchNotifier(QWidget* window, std::function<void()> openList)
    : QObject(window), window_(window), openList_(std::move(openList)) {
    setObjectName(QStringLiteral("关注提醒者"));
}

WatchNotifier::~WatchNotifier() {
    delete popup_;
}

QString WatchNotifier::title() {
    return QStringLiteral("关注的号码可以选了");
}

QString WatchNotifier::message(const QStringList& plates) {
    const QString named = plates.mid(0, kNamed).join(QStringLiteral("、"));
    if (plates.size() <= kNamed) {
        return QStringLiteral("%1 现在可用，请尽快选号。").arg(named);
    }
    return QStringLiteral("%1 等%2个号码现在可用，请尽快选号。").arg(named).arg(plates.size());
}

void WatchNotifier::tell(const QStringList& plates) {
    if (plates.isEmpty()) {
        return;
    }
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        if (tray_ == nullptr) {
            tray_ = new QSystemTrayIcon(window_->windowIcon(), this);
            tray_->setToolTip(QStringLiteral("云海舟：关注列表"));
            connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] { openList_(); });
            connect(tray_, &QSystemTrayIcon::activated, this, [this] { openList_(); });
            tray_->show();
        }
        tray_->showMessage(title(), message(plates), QSystemTrayIcon::Information, kShownMs);
        return;
    }
    showPopup(plates);
}

void WatchNotifier::showPopup(const QStringList& plates) {
    // One at a time: a newer message replaces the one still showing.
    if (popup_ != nullptr) {
        popup_->close();
    }
    auto* popup = new QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint |
                                           Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus);
    popup->setObjectName(QStringLiteral("关注提醒"));
    popup->setAttribute(Qt::WA_DeleteOnClose);
    popup->setAttribute(Qt::WA_ShowWithoutActivating);
    popup->setWindowTitle(title());
    popup->setStyleSheet(
        QStringLiteral("QWidget#关注提醒 { background: #fffbe6; border: 2px solid #f4b400; }"
                       "QLabel#关注提醒标题 { color: #0b3d7a; font-weight: bold; font-size: 16px; }"
                       "QLabel#关注提醒正文 { color: #1b5e20; font-size: 15px; }"));
    popup->setAttribute(Qt::WA_StyledBackground);

    auto* heading = new QLabel(title(), popup);
    heading->setObjectName(QStringLiteral("关注提醒标题"));
    auto* text = new QLabel(message(plates), popup);
    text->setObjectName(QStringLiteral("关注提醒正文"));
    text->setWordWrap(true);
    auto* open = new QPushButton(QStringLiteral("查看关注列表"), popup);
    auto* close = new QPushButton(QStringLiteral("关闭"), popup);
    connect(open, &QPushButton::clicked, popup, [this, popup] {
        openList_();
        popup->close();
    });
    connect(close, &QPushButton::clicked, popup, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(open);
    buttons->addWidget(close);
    auto* layout = new QVBoxLayout(popup);
    layout->addWidget(heading);
    layout->addWidget(text);
    layout->addLayout(buttons);
    popup->setFixedWidth(320);
    popup->adjustSize();

    // The bottom right of the screen the main window is on.
    const QScreen* screen =
        window_->screen() != nullptr ? window_->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const QRect room = screen->availableGeometry();
        popup->move(room.right() - popup->width() - 16, room.bottom() - popup->height() - 16);
    }
    QTimer::singleShot(kShownMs, popup, &QWidget::close);
    popup->show();
    popup_ = popup;
}

}  // namespace yhz
