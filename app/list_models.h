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

class SegmentListModel final : public StoreModel {
    Q_OBJECT
public:
    SegmentListModel(std::shared_ptr<SegmentStore> store, QObject* parent = nullptr);
    ~SegmentListModel() override;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    StoreChanges takeStoreChanges() override { return store_->takeChanges(); }

    std::shared_ptr<SegmentStore> store_;
};

class PlateListModel final : public StoreModel {
    Q_OBJECT
public:
    PlateListModel(std::shared_ptr<PlateStore> store, std::shared_ptr<CellColourTable> colours,
                   QObject* parent = nullptr);
    ~PlateListModel() override;

    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

private:
    StoreChanges takeStoreChanges() override { return store_->takeChanges(); }
    ColourChanges takeOtherChanges() override { return colours_->takeChanges(); }

    std::shared_ptr<PlateStore> store_;
    std::shared_ptr<CellColourTable> colours_;
};

QColor toQColor(ColourRef colour);
ColourRef toColourRef(const QColor& colour);

}  // namespace yhz
