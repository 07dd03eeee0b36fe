#pragma once
// The plate under the mouse (or the selected one) in the query page's list,
// drawn as it would look on the car: blue with white characters for an
// ordinary plate, the green gradient with black characters for a
// new-energy one.

#include <QImage>
#include <QObject>
#include <QPoint>
#include <QPointer>
#include <optional>

class QAbstractItemView;
class QLabel;
class QModelIndex;
class QPoint;
class QString;
class QWidget;

namespace yhz {

// By the plate's length in the program's encoding: 8 bytes ordinary, 9 bytes
// new energy. Any other text is no plate to draw: a null image.
QImage drawPlate(const QString& plate);

// Shows the drawing in a small label over `area`, which holds the list,
// above the row under the pointer (or the selected row). The label's
// accessible name is the plate it shows.
class PlatePreview : public QObject {
public:
    PlatePreview(QAbstractItemView* list, QWidget* area);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followPointer();
    void showFor(const QModelIndex& index, int pointerX);

    QAbstractItemView* list_;
    // Kept apart from the list: while the list is being destroyed its
    // viewport still sends hide events, and the list is no item view any more.
    QPointer<QWidget> viewport_;
    QWidget* area_;
    QPointer<QLabel> label_;
    // Where the pointer rests in the viewport; none once it has left.
    std::optional<QPoint> pointer_;
};

}  // namespace yhz
