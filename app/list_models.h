#pragma once
// Qt models over the segment and plate stores. The stores hold the rows; a
// model only tells its view what changed. Workers never reach the view: the
// first change after a look arms a short timer on the GUI thread, and when it
// fires the model announces everything that happened since, appended rows as
// one insertion and changed rows as one dataChanged.

#include <QAbstractTableModel>
#include <QStringList>
#include <QTimer>
#include <memory>

#include "app/qt_common/qt_text.h"
#include "plates/plate_store.h"
#include "plates/segment_store.h"
#include "query/cell_colours.h"

namespace yhz {

class StoreModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int kSyncIntervalMs = 150;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

public slots:
    // Brings the view up to date with the store now (GUI thread).
    void sync();

protected:
    StoreModel(QStringList headers, QObject* parent);

    // Called from any thread, under the store's lock: only posts.
    void changeArrived();

    virtual StoreChanges takeStoreChanges() = 0;
    // Rows whose painting changed outside the store; none by default.
    virtual ColourChanges takeOtherChanges() { return {}; }

private:
    QStringList headers_;
    QTimer timer_;
    int shown_ = 0;  // rows the view has been told of
};

// What every list over a row store shares: the store's change listener,
// the cells' texts, and the tick box in column 0.
template <class Store>
class RowStoreModel : public StoreModel {
public:
    ~RowStoreModel() override { store_->setListener({}); }

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override {
        if (!index.isValid() || index.row() >= rowCount()) {
            return {};
        }
        switch (role) {
            case Qt::DisplayRole:
                return fromLocal(store_->cellText(index.row(), index.column()));
            case Qt::CheckStateRole:
                if (index.column() != 0) {
                    return {};
                }
                return store_->checked(index.row()) ? Qt::Checked : Qt::Unchecked;
            default:
                return paintData(index, role);
        }
    }

    bool setData(const QModelIndex& index, const QVariant& value, int role) override {
        if (role != Qt::CheckStateRole || index.column() != 0 ||
            !store_->setChecked(index.row(), value.toInt() == Qt::Checked)) {
            return false;
        }
        emit dataChanged(index, index, {Qt::CheckStateRole});
        return true;
    }

protected:
    // The derived model's constructor brings the view up to date (`sync`)
    // once its own members are in place.
    RowStoreModel(QStringList headers, std::shared_ptr<Store> store, QObject* parent)
        : StoreModel(std::move(headers), parent), store_(std::move(store)) {
        store_->setListener([this] { changeArrived(); });
    }

    // Colours and the like, for roles other than the text and the tick box.
    virtual QVariant paintData(const QModelIndex&, int) const { return {}; }

    StoreChanges takeStoreChanges() override { return store_->takeChanges(); }

    std::shared_ptr<Store> store_;
};

class SegmentListModel final : public RowStoreModel<SegmentStore> {
public:
    SegmentListModel(std::shared_ptr<SegmentStore> store, QObject* parent = nullptr);
};

class PlateListModel final : public RowStoreModel<PlateStore> {
public:
    PlateListModel(std::shared_ptr<PlateStore> store, std::shared_ptr<CellColourTable> colours,
                   QObject* parent = nullptr);
    ~PlateListModel() override;

private:
    QVariant paintData(const QModelIndex& index, int role) const override;
    ColourChanges takeOtherChanges() override { return colours_->takeChanges(); }

    std::shared_ptr<CellColourTable> colours_;
};

QColor toQColor(ColourRef colour);
ColourRef toColourRef(const QColor& colour);

}  // namespace yhz
