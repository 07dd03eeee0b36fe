#include "app/list_models.h"

#include <QColor>

namespace yhz {
QColor toQColor(ColourRef colour) {
    return QColor(static_cast<int>(colour & 0xFF), static_cast<int>((colour >> 8) & 0xFF),
                  static_cast<int>((colour >> 16) & 0xFF));
}

ColourRef toColourRef(const QColor& colour) {
    return static_cast<ColourRef>(colour.red()) | (static_cast<ColourRef>(colour.green()) << 8) |
           (static_cast<ColourRef>(colour.blue()) << 16);
}

StoreModel::StoreModel(QStringList headers, QObject* parent)
    : QAbstractTableModel(parent), headers_(std::move(headers)) {
    timer_.setSingleShot(true);
    timer_.setInterval(kSyncIntervalMs);
    connect(&timer_, &QTimer::timeout, this, &StoreModel::sync);
}

void StoreModel::changeArrived() {
    // A posted call, so that a worker never waits for the GUI thread; a call
    // still queued when the model goes is dropped with it.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!timer_.isActive()) {
                timer_.start();
            }
        },
        Qt::QueuedConnection);
}

void StoreModel::sync() {
    timer_.stop();
    const StoreChanges changes = takeStoreChanges();
    const ColourChanges other = takeOtherChanges();
    if (changes.reset || changes.rowCount < shown_) {
        beginResetModel();
        shown_ = changes.rowCount;
        endResetModel();
        return;
    }
    if (changes.rowCount > shown_) {
        beginInsertRows({}, shown_, changes.rowCount - 1);
        shown_ = changes.rowCount;
        endInsertRows();
    }
    int first = shown_;
    int end = 0;
    if (other.all) {
        first = 0;
        end = shown_;
    }
    if (changes.firstDirty < changes.endDirty) {
        first = std::min(first, changes.firstDirty);
        end = std::max(end, changes.endDirty);
    }
    if (other.firstRow < other.endRow) {
        first = std::min(first, other.firstRow);
        end = std::max(end, other.endRow);
    }
    end = std::min(end, shown_);
    if (first < end) {
        emit dataChanged(index(first, 0), index(end - 1, columnCount() - 1));
    }
}

int StoreModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : shown_;
}

int StoreModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(headers_.size());
}

QVariant StoreModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < headers_.size()) {
        return headers_[section];
    }
    return {};
}

Qt::ItemFlags StoreModel::flags(const QModelIndex& index) const {
    if (!index.isValid()) {
        return Qt::NoItemFlags;
    }
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (index.column() == 0) {
        flags |= Qt::ItemIsUserCheckable;
    }
    return flags;
}

SegmentListModel::SegmentListModel(std::shared_ptr<SegmentStore> store, QObject* parent)
    : RowStoreModel({QStringLiteral("号段"), QStringLiteral("投放时间")}, std::move(store),
                    parent) {
    sync();
}

PlateListModel::PlateListModel(std::shared_ptr<PlateStore> store,
                               std::shared_ptr<CellColourTable> colours, QObject* parent)
    : RowStoreModel({QStringLiteral("Id"), QStringLiteral("号牌"), QStringLiteral("投放日期")},
                    std::move(store), parent),
      colours_(std::move(colours)) {
    colours_->setListener([this] { changeArrived(); });
    sync();
}

PlateListModel::~PlateListModel() {
    colours_->setListener({});
}

QVariant PlateListModel::paintData(const QModelIndex& index, int role) const {
    if (role != Qt::BackgroundRole && role != Qt::ForegroundRole) {
        return {};
    }
    // The query's colour is the row's own and goes before any entry at the
    // row's position.
    if (index.column() == PlateRow::kPlate) {
        if (const auto background = store_->plateBackground(index.row())) {
            return toQColor(role == Qt::BackgroundRole ? *background : kColourBlack);
        }
    }
    const auto paint = colours_->paint(index.row(), index.column());
    if (!paint) {
        return {};
    }
    return toQColor(role == Qt::BackgroundRole ? paint->background : paint->text);
}

}  // namespace yhz
