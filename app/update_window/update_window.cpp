#include "app/update_window/update_window.h"

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "app/qt_common/widget_place.h"
#include "base/control_names.h"

namespace yhz {
namespace {

QLabel* label(QWidget* parent, std::string_view control, int x, int y, int w, int h,
              const QString& text, int pixels, bool bold) {
    auto* l = place(new QLabel(text, parent), control, x, y, w, h);
    QFont font = QApplication::font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    l->setFont(font);
    l->setAttribute(Qt::WA_TranslucentBackground);
    l->setStyleSheet(QStringLiteral("color: white; background: transparent;"));
    return l;
}

}  // namespace

UpdateWindow::UpdateWindow(Setup setup, MessageBoxes& messages, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), messages_(messages) {
    setObjectName(fromName(control::update_window::kWindow));
    setModal(true);
    setFixedSize(380, 150);
    move(50, 50);
    build(setup);

    updater_ = std::make_unique<Updater>(std::move(setup.request), std::move(setup.options));
    // A refused update is told on the first tick, once the window shows.
    updater_->start(*tasks_);
    timer_ = new QTimer(this);
    timer_->setObjectName(fromName(control::update_window::kTimer));
    timer_->setInterval(100);
    connect(timer_, &QTimer::timeout, this, &UpdateWindow::onTick);
    timer_->start();
}

void UpdateWindow::build(const Setup& setup) {
    auto* titleBar = place(new QLabel(this), control::update_window::kTitleBar, 0, 0, 380, 152);
    titleBar->setStyleSheet(QStringLiteral(
        "QLabel { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #1f6fd1, "
        "stop:1 #0b3d7a); }"));

    label(titleBar, control::update_window::kHeading, 4, 4, 192, 22,
          QStringLiteral("正在下载,请稍后。。。。。。"), 13, true);
    bar_ = place(new QProgressBar(titleBar), control::update_window::kProgress, 28, 48, 322, 16);
    bar_->setRange(0, 100);
    bar_->setValue(0);
    bar_->setTextVisible(false);
    progressLabel_ = label(titleBar, control::update_window::kProgressText, 73, 64, 233, 22,
                           QStringLiteral("0%"), 13, false);
    progressLabel_->setAlignment(Qt::AlignCenter);
    label(titleBar, control::update_window::kCurrentVersion, 32, 100, 120, 28,
          QStringLiteral("当前版本:") + fromLocal(setup.programVersion), 13, false);
    label(titleBar, control::update_window::kLatestVersion, 224, 100, 120, 28,
          QStringLiteral("最新版本:") + fromLocal(setup.request.latestVersion), 13, false);

    auto* close = place(new QPushButton(QStringLiteral("✕"), titleBar),
                        control::update_window::kClose, 344, 5, 29, 29);
    close->setCursor(Qt::PointingHandCursor);
    close->setFlat(true);
    close->setStyleSheet(QStringLiteral(
        "QPushButton { color: white; border: none; font-size: 18px; background: transparent; }"
        "QPushButton:hover { background: #d9534f; border-radius: 4px; }"));
    connect(close, &QPushButton::clicked, this, &QDialog::reject);
}

UpdateWindow::~UpdateWindow() {
    shutdown();
}

ShutdownReport UpdateWindow::shutdown(std::chrono::milliseconds bound) {
    timer_->stop();
    return tasks_->shutdown(bound);
}

void UpdateWindow::onTick() {
    if (ending_) {
        return;
    }
    const UpdateProgress p = updater_->progress();
    switch (p.phase) {
        case UpdatePhase::Downloading:
            progressLabel_->setText(fromLocal(progressText(p.total, p.received)));
            bar_->setValue(progressPosition(p.total, p.received));
            return;
        case UpdatePhase::Replacing:
            bar_->setValue(bar_->maximum());
            progressLabel_->setText(QStringLiteral("正在替换文件,请稍后..."));
            return;
        case UpdatePhase::Restarted:
            end(QDialog::Accepted);
            return;
        case UpdatePhase::Refused:
        case UpdatePhase::Failed:
            break;
    }
    ending_ = true;
    timer_->stop();
    std::fprintf(stderr, "yunhaizhou: update not made: %s\n", p.detail.c_str());
    messages_.showMessage({p.message, gbk("温馨提示："), MessageButtons::Ok, MessageIcon::Warning});
    end(QDialog::Rejected);
}

void UpdateWindow::end(int result) {
    ending_ = true;
    timer_->stop();
    done(result);
}

}  // namespace yhz
