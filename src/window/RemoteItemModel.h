// The items of the remote file list: caption, the exact bytes of the name
// and the system icon index, in listing order. A plain list model, so a
// folder of 100,000 files costs a few dozen bytes per name.
#pragma once

#include <QAbstractListModel>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class TdfsSystemImageList;

class TRemoteItemModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The role that gives the name's bytes, as a QByteArray.
    static constexpr int RawNameRole = Qt::UserRole + 1;
    static constexpr int ImageIndexRole = Qt::UserRole + 2;

    explicit TRemoteItemModel(const TdfsSystemImageList *images, QObject *parent = nullptr);

    struct TItem {
        std::string RawName;
        QString Caption;
        int ImageIndex = -1;
        // What the details view shows; -1 where the listing did not say.
        // The texts are ASCII as the listing gives them, turned into
        // QStrings only for the rows painted.
        int64_t Size = -1;
        std::string Modified{};
        int64_t Time = -1;
        std::string Permissions{};
        // The place in the listing, which the other styles keep.
        int Order = 0;
    };

    void Clear();
    // All the items at once, in listing order.
    void Assign(std::vector<TItem> items);

    const TItem &Item(int row) const { return FItems[size_t(row)]; }
    // Puts the items in the order `less` gives, ties in listing order; the
    // selection and the current item stay on their entries.
    void Reorder(const std::function<bool(const TItem &, const TItem &)> &less);
    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    // A drag of remote files carries their names; whoever takes the drop
    // reads the selection of the view it came from.
    static constexpr const char *DragFormat = "application/x-veldra-remote-names";
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    QStringList mimeTypes() const override;
    QMimeData *mimeData(const QModelIndexList &indexes) const override;
    Qt::DropActions supportedDragActions() const override { return Qt::CopyAction; }

private:
    const TdfsSystemImageList *FImages;
    std::vector<TItem> FItems;
};
