#include "app/watch_dialog.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include "app/list_models.h"
#include "app/list_views.h"
#include "app/qt_common/qt_text.h"
#include "query/plate_watch.h"

namespace yhz {
namespace {

// The watched plates, with the answer's colour behind "最近结果".
class WatchListModel final : public RowStoreModel<WatchStore> {
public:
    WatchListModel(std::shared_ptr<WatchStore> store, QObject* parent)
        : RowStoreModel(
              {QStringLiteral("号牌"), QStringLiteral("最近结果"), QStringLiteral("检查时间")},
              std::move(store), parent) {
        sync();
    }

private:
    // The plate list's colours: green free, red taken, blue expired, grey failed.
    static QVariant colourOf(WatchAnswer answer) {
        switch (answer) {
            case WatchAnswer::Available:
                return toQColor(kColourGreen);
            case WatchAnswer::Occupied:
                return toQColor(kColourRed);
            case WatchAnswer::Expired:
                return toQColor(kColourBlue);
            case WatchAnswer::Failed:
                return toQColor(kColourGrey);
            case WatchAnswer::Unchecked:
                break;
        }
        return {};
    }

    QVariant paintData(const QModelIndex& index, int role) const override {
        if (role == Qt::BackgroundRole && index.column() == WatchRow::kResult) {
            if (const std::optional<WatchRow> row = store_->row(index.row())) {
                return colourOf(row->answer);
            }
        }
        return {};
    }
};

QString intervalText(std::chrono::minutes interval) {
    return interval.count() == 0 ? QStringLiteral("关闭")
                                 : QStringLiteral("每%1分钟").arg(interval.count());
}

}  // namespace

WatchDialog::WatchDialog(PlateWatch& watch, std::function<bool()> runGoing, QWidget* parent)
    : QDialog(parent), watch_(watch), runGoing_(std::move(runGoing)) {
    setObjectName(QStringLiteral("关注列表窗口"));
    setWindowTitle(QStringLiteral("关注列表"));
    setModal(false);
    resize(540, 420);

    auto* hint =
        new QLabel(QStringLiteral("按所选间隔自动再查询这些号码；号码变为可用时弹出提醒并记入日志。"
                                  "在查号列表的右键菜单中点“加入关注”添加号码。"),
                   this);
    hint->setWordWrap(true);

    auto* list = makeReportList(this, "超级列表框_关注", 0, 0, 520, 300,
                                new WatchListModel(watch_.store(), this), {140, 150, 200});

    auto* intervalCaption = new QLabel(QStringLiteral("检查间隔："), this);
    interval_ = new QComboBox(this);
    interval_->setObjectName(QStringLiteral("组合框_检查间隔"));
    for (const std::chrono::minutes choice : PlateWatch::kIntervals) {
        interval_->addItem(intervalText(choice), static_cast<int>(choice.count()));
    }
    interval_->setCurrentIndex(
        interval_->findData(static_cast<int>(watch_.status().interval.count())));
    connect(interval_, &QComboBox::activated, this, [this](int index) {
        watch_.setInterval(std::chrono::minutes(interval_->itemData(index).toInt()));
        showStatus();
    });

    auto* checkNow = new QPushButton(QStringLiteral("立即检查"), this);
    checkNow->setObjectName(QStringLiteral("按钮_立即检查"));
    connect(checkNow, &QPushButton::clicked, this, [this] {
        watch_.checkNow();
        showStatus();
    });
    auto* remove = new QPushButton(QStringLiteral("移除选中"), this);
    remove->setObjectName(QStringLiteral("按钮_移除关注"));
    connect(remove, &QPushButton::clicked, this, [this, list] {
        watch_.removeChecked();
        if (auto* model = qobject_cast<StoreModel*>(list->model())) {
            model->sync();
        }
        showStatus();
    });

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("标签_关注状态"));

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(intervalCaption);
    buttons->addWidget(interval_);
    buttons->addStretch(1);
    buttons->addWidget(checkNow);
    buttons->addWidget(remove);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(hint);
    layout->addWidget(list, 1);
    layout->addLayout(buttons);
    layout->addWidget(status_);

    // The status line follows the checks while the window shows.
    timer_ = new QTimer(this);
    timer_->setInterval(1000);
    connect(timer_, &QTimer::timeout, this, &WatchDialog::showStatus);
    showStatus();
}

QString WatchDialog::statusText() const {
    const WatchStatus status = watch_.status();
    QString text = QStringLiteral("共%1个号码").arg(watch_.store()->rowCount());
    if (status.checking) {
        return text + (runGoing_() ? QStringLiteral("，等待查询结束后检查…")
                                   : QStringLiteral("，正在检查…"));
    }
    if (!status.untilNext) {
        return text + QStringLiteral("，定时检查已关闭");
    }
    const auto minutes = (status.untilNext->count() + 59) / 60;
    return text + (minutes <= 1 ? QStringLiteral("，即将检查")
                                : QStringLiteral("，约%1分钟后检查").arg(minutes));
}

void WatchDialog::showStatus() {
    status_->setText(statusText());
}

void WatchDialog::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    showStatus();
    timer_->start();
}

void WatchDialog::hideEvent(QHideEvent* event) {
    timer_->stop();
    QDialog::hideEvent(event);
}

}  // namespace yhz
