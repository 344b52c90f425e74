#include "RemoteItemModel.h"

#include "SystemImageList.h"

#include <QMimeData>

#include <algorithm>

TRemoteItemModel::TRemoteItemModel(const TdfsSystemImageList *images, QObject *parent)
    : QAbstractListModel(parent), FImages(images)
{
}

void TRemoteItemModel::Clear()
{
    beginResetModel();
    FItems.clear();
    FItems.shrink_to_fit();
    endResetModel();
}

void TRemoteItemModel::Reorder(const std::function<bool(const TItem &, const TItem &)> &less)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> rows(FItems.size());
    for (size_t i = 0; i < rows.size(); ++i)
        rows[i] = int(i);
    std::stable_sort(rows.begin(), rows.end(), [&](int left, int right) {
        const TItem &a = FItems[size_t(left)], &b = FItems[size_t(right)];
        if (less(a, b))
            return true;
        return !less(b, a) && a.Order < b.Order;
    });
    std::vector<TItem> sorted;
    sorted.reserve(FItems.size());
    std::vector<int> newRow(FItems.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        newRow[size_t(rows[i])] = int(i);
        sorted.push_back(std::move(FItems[size_t(rows[i])]));
    }
    FItems = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex &index : before)
        after.append(index.isValid() && index.row() < int(newRow.size()) ? this->index(newRow[size_t(index.row())])
                                                                          : QModelIndex());
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void TRemoteItemModel::Assign(std::vector<TItem> items)
{
    beginResetModel();
    FItems = std::move(items);
    for (size_t i = 0; i < FItems.size(); ++i)
        FItems[i].Order = int(i);
    endResetModel();
}

int TRemoteItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FItems.size());
}

QVariant TRemoteItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= int(FItems.size()))
        return {};
    const TItem &item = FItems[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return item.Caption;
    case Qt::DecorationRole:
        return FImages->Icon(item.ImageIndex);
    case RawNameRole:
        return QByteArray(item.RawName.data(), qsizetype(item.RawName.size()));
    case ImageIndexRole:
        return item.ImageIndex;
    default:
        return {};
    }
}

Qt::ItemFlags TRemoteItemModel::flags(const QModelIndex &index) const
{
    return QAbstractListModel::flags(index) | (index.isValid() ? Qt::ItemIsDragEnabled : Qt::NoItemFlags);
}

QStringList TRemoteItemModel::mimeTypes() const
{
    return {QString::fromLatin1(DragFormat)};
}

QMimeData *TRemoteItemModel::mimeData(const QModelIndexList &indexes) const
{
    QByteArray names;
    for (const QModelIndex &index : indexes)
        if (index.isValid() && index.row() < int(FItems.size()))
            names += QByteArray::fromStdString(FItems[size_t(index.row())].RawName) + '\0';
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(DragFormat), names);
    return data;
}
