#include "app/list_models.h"

#include <QColor>

#include "app/qt_text.h"

namespace yhz {
namespace {

QVariant checkState(bool checked) {
    return checked ? Qt::Checked : Qt::Unchecked;
}

bool isChecked(const QVariant& value) {
    return value.toInt() == Qt::Checked;
}

}  // namespace

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
    : StoreModel({QStringLiteral("号段"), QStringLiteral("投放时间")}, parent),
      store_(std::move(store)) {
    store_->setListener([this] { changeArrived(); });
    sync();
}

SegmentListModel::~SegmentListModel() {
    store_->setListener({});
}

QVariant SegmentListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    if (role == Qt::DisplayRole) {
        return fromLocal(store_->cellText(index.row(), index.column()));
    }
    if (role == Qt::CheckStateRole && index.column() == 0) {
        return checkState(store_->checked(index.row()));
    }
    return {};
}

bool SegmentListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 ||
        !store_->setChecked(index.row(), isChecked(value))) {
        return false;
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

PlateListModel::PlateListModel(std::shared_ptr<PlateStore> store,
                               std::shared_ptr<CellColourTable> colours, QObject* parent)
    : StoreModel({QStringLiteral("Id"), QStringLiteral("号牌"), QStringLiteral("投放日期")},
                 parent),
      store_(std::move(store)),
      colours_(std::move(colours)) {
    store_->setListener([this] { changeArrived(); });
    colours_->setListener([this] { changeArrived(); });
    sync();
}

PlateListModel::~PlateListModel() {
    store_->setListener({});
    colours_->setListener({});
}

QVariant PlateListModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) {
        return {};
    }
    switch (role) {
        case Qt::DisplayRole:
            return fromLocal(store_->cellText(index.row(), index.column()));
        case Qt::CheckStateRole:
            return index.column() == 0 ? checkState(store_->checked(index.row())) : QVariant();
        case Qt::BackgroundRole:
        case Qt::ForegroundRole: {
            const auto paint = colours_->paint(index.row(), index.column());
            if (!paint) {
                return {};
            }
            return toQColor(role == Qt::BackgroundRole ? paint->background : paint->text);
        }
        default:
            return {};
    }
}

bool PlateListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 ||
        !store_->setChecked(index.row(), isChecked(value))) {
        return false;
    }
    emit dataChanged(index, index, {Qt::CheckStateRole});
    return true;
}

}  // namespace yhz
