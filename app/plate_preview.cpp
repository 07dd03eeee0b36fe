#include "app/plate_preview.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QScrollBar>
#include <algorithm>

#include "app/qt_common/qt_text.h"
#include "base/control_names.h"
#include "plates/plate_store.h"

namespace yhz {
namespace {

constexpr int kHeight = 70;
constexpr int kOrdinaryWidth = 220;
constexpr int kNewEnergyWidth = 240;
constexpr std::size_t kOrdinaryBytes = 8;
constexpr std::size_t kNewEnergyBytes = 9;
// Between the preview and the row it shows.
constexpr int kGap = 4;

const QColor kPlateBlue(0x0a, 0x3f, 0xa8);
const QColor kGreenTop(0xf2, 0xfb, 0xf4);
const QColor kGreenBottom(0x2f, 0xb3, 0x5c);

void drawCharacters(QPainter& painter, const QString& plate, const QRectF& field,
                    const QColor& ink) {
    // Province and office letter, a dot, then the serial; every character
    // gets the same slot, as on the metal, and the dot a narrow one of its own.
    const int count = static_cast<int>(plate.size());
    const qreal dotSlot = field.width() * 0.06;
    const qreal slot = (field.width() - dotSlot) / count;
    QFont font(QStringLiteral("黑体"));
    font.setBold(true);
    font.setPixelSize(static_cast<int>(field.height() * 0.8));
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    qreal x = field.left();
    for (int i = 0; i < count; ++i) {
        const QString character = plate.mid(i, 1);
        // The wide province character is narrowed into its slot.
        const qreal width = metrics.horizontalAdvance(character);
        const qreal squeeze = std::min<qreal>(1.0, slot * 0.94 / std::max<qreal>(width, 1));
        painter.save();
        painter.translate(x + slot / 2, field.top());
        painter.scale(squeeze, 1.0);
        painter.setPen(ink);
        painter.drawText(QRectF(-slot / squeeze / 2, 0, slot / squeeze, field.height()),
                         Qt::AlignCenter, character);
        painter.restore();
        x += slot;
        if (i == 1) {
            const qreal r = field.height() * 0.06;
            painter.setBrush(ink);
            painter.setPen(Qt::NoPen);
            painter.drawEllipse(QPointF(x + dotSlot / 2, field.center().y()), r, r);
            x += dotSlot;
        }
    }
}

}  // namespace

QImage drawPlate(const QString& plate) {
    const std::size_t bytes = toLocal(plate).size();
    if (bytes != kOrdinaryBytes && bytes != kNewEnergyBytes) {
        return {};
    }
    const bool newEnergy = bytes == kNewEnergyBytes;
    const QSize size(newEnergy ? kNewEnergyWidth : kOrdinaryWidth, kHeight);
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);

    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    const QRectF outer(0, 0, size.width(), size.height());
    QPainterPath shape;
    shape.addRoundedRect(outer, 7, 7);
    QColor ink;
    if (newEnergy) {
        QLinearGradient fill(outer.topLeft(), outer.bottomLeft());
        fill.setColorAt(0, kGreenTop);
        fill.setColorAt(1, kGreenBottom);
        painter.fillPath(shape, fill);
        ink = Qt::black;
    } else {
        painter.fillPath(shape, kPlateBlue);
        ink = Qt::white;
    }
    // The rim stamped into the plate.
    painter.setPen(QPen(newEnergy ? QColor(0x20, 0x20, 0x20) : QColor(Qt::white), 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(outer.adjusted(4, 4, -4, -4), 5, 5);
    drawCharacters(painter, plate, outer.adjusted(10, 8, -10, -8), ink);
    return image;
}

PlatePreview::PlatePreview(QAbstractItemView* list, QWidget* area)
    : QObject(list),
      list_(list),
      viewport_(list->viewport()),
      area_(area),
      label_(new QLabel(area)) {
    label_->setObjectName(fromName(control::kPlatePreview));
    label_->setAttribute(Qt::WA_TransparentForMouseEvents);
    label_->hide();
    viewport_->setMouseTracking(true);
    viewport_->installEventFilter(this);
    if (auto* selection = list_->selectionModel()) {
        connect(selection, &QItemSelectionModel::currentChanged, this,
                [this](const QModelIndex& current) {
                    showFor(current, list_->visualRect(current).left());
                });
    }
    // A scroll (wheel, keys, bar) moves other rows under a resting pointer.
    // Queued: the view has taken its new offset by then.
    connect(
        list_->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { followPointer(); },
        Qt::QueuedConnection);
}

bool PlatePreview::eventFilter(QObject* watched, QEvent* event) {
    if (watched == viewport_ && label_) {
        switch (event->type()) {
            case QEvent::MouseMove:
                pointer_ = static_cast<QMouseEvent*>(event)->position().toPoint();
                followPointer();
                break;
            case QEvent::ContextMenu:
                // The menu opens where the preview would stand.
                label_->hide();
                break;
            case QEvent::Leave:
            case QEvent::Hide:
                pointer_.reset();
                label_->hide();
                break;
            default:
                break;
        }
    }
    return QObject::eventFilter(watched, event);
}

void PlatePreview::followPointer() {
    if (pointer_ && viewport_) {
        showFor(list_->indexAt(*pointer_), pointer_->x());
    }
}

void PlatePreview::showFor(const QModelIndex& index, int pointerX) {
    QLabel* const label = label_.data();
    QWidget* const viewport = viewport_.data();
    if (label == nullptr || viewport == nullptr) {
        return;
    }
    // Any cell of a row stands for the row's plate. Nothing shows while a
    // menu is open: a child of the window would lie under it.
    const QString plate =
        index.isValid() ? index.siblingAtColumn(PlateRow::kPlate).data(Qt::DisplayRole).toString()
                        : QString();
    const QImage picture =
        QApplication::activePopupWidget() == nullptr ? drawPlate(plate) : QImage();
    if (picture.isNull()) {
        label->hide();
        return;
    }
    label->setPixmap(QPixmap::fromImage(picture));
    label->setAccessibleName(plate);
    label->resize(picture.size());
    // Above the row, over the rows already passed, so that the ones below
    // the pointer stay in sight; below it only where the area has no room
    // above. Right of the pointer, kept inside the area.
    const QRect row = list_->visualRect(index);
    const QPoint top = viewport->mapTo(area_, QPoint(pointerX, row.top()));
    const QPoint bottom = viewport->mapTo(area_, QPoint(pointerX, row.bottom()));
    int y = top.y() - kGap - label->height();
    if (y < 0) {
        y = std::min(bottom.y() + kGap, std::max(0, area_->height() - label->height()));
    }
    const int x = std::clamp(top.x() + 16, 0, std::max(0, area_->width() - label->width()));
    label->move(x, y);
    label->raise();
    label->show();
}

}  // namespace yhz
