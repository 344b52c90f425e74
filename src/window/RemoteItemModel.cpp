#include "RemoteItemModel.h"

#include "SystemImageList.h"

#include <QMimeData>

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

void TRemoteItemModel::BeginAppend()
{
    beginResetModel();
    FItems.clear();
}

void TRemoteItemModel::Append(TItem item)
{
    FItems.push_back(std::move(item));
}

void TRemoteItemModel::EndAppend()
{
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
