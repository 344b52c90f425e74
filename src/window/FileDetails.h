// The remote file list's details ("Report" style): a row per entry with the
// columns Name, Size, Modified, Permissions and Owner under a header whose clicks
// sort. The list stays one view in every style, so its selection, keys,
// drags and menus are the same here; this unit draws the rows, keeps the
// header over them and sorts. The other styles show the listing's order.
#pragma once

#include <QObject>
#include <QString>

#include <functional>
#include <string_view>

class QHeaderView;
class QListView;
class QModelIndex;
class QPainter;
class QPoint;
class QStyleOptionViewItem;
class TRemoteItemModel;

// "file2" before "file10", "a" beside "A": numbers by their value, letters
// without their case; a tie falls back to the exact text.
int NaturalCompare(const QString &left, const QString &right);
// The same for remote names' bytes, as they show.
int NaturalCompare(std::string_view left, std::string_view right);

class TFileDetails : public QObject {
    Q_OBJECT
public:
    enum TColumn { Name, Size, Modified, Permissions, Owner, ColumnCount };

    TFileDetails(QListView &view, TRemoteItemModel &items);

    // The header and the sort come and go with the style.
    void SetShown(bool shown);
    bool Shown() const { return FShown; }
    // The width of all the columns (a row's), and of the name's.
    int Width() const;
    int NameWidth() const;
    // The room the header takes above the rows.
    int HeaderHeight() const;
    // Lays the header over the rows' area, scrolled as they are.
    void Place();

    void Paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const;
    // The column under a point of the list's viewport.
    int ColumnAt(const QPoint &pos) const;

    // Sorts by a column; -1: the listing's order.
    void SortBy(int column, Qt::SortOrder order);
    int SortColumn() const { return FSortColumn; }
    Qt::SortOrder SortOrder() const { return FSortOrder; }

    // The widths and the sort, for the settings: "260,80,130,100;1;0".
    QString State() const;
    void SetState(const QString &state);

    // The columns' width changed: the rows follow.
    std::function<void()> OnWidthChanged;

private:
    void Sort();

    QListView &FView;
    TRemoteItemModel &FItems;
    QHeaderView *FHeader;
    bool FShown = false;
    int FSortColumn = -1;
    Qt::SortOrder FSortOrder = Qt::AscendingOrder;
};
