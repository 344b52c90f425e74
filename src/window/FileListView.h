// The remote file list with the four view styles of the window: large
// icons in a flowing grid, small icons flowing left to right, small icons in
// columns from top to bottom, and one column of names.
#pragma once

#include "RemoteItemModel.h"

#include <QListView>

#include <functional>

class TFileDetails;

enum TViewStyle { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };

class TFileListView : public QListView {
    Q_OBJECT
public:
    explicit TFileListView(const TdfsSystemImageList *images, QWidget *parent = nullptr);

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle style);

    TRemoteItemModel *Items() const { return FItems; }
    // The columns of the details style and their sort.
    TFileDetails &Details() const { return *FDetails; }
    int Count() const { return FItems->rowCount(); }
    QString Caption(int row) const { return FItems->Caption(row); }
    // The selected rows, in list order.
    std::vector<int> SelectedRows() const;

    // Drops: the owner decides what it takes. `source` is the widget the
    // drag came from in this program, nullptr for another program.
    std::function<bool(QObject *source, const QMimeData *data)> OnDragOver;
    std::function<void(QObject *source, const QMimeData *data)> OnDragDrop;

protected:
    // The list's hint, or the whole name of an item whose name is cut.
    bool viewportEvent(QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    // Coming in by the keyboard, the focus rests on an item.
    void focusInEvent(QFocusEvent *event) override;

signals:
    void ViewStyleSet(TViewStyle style);

private:
    // Cells as wide as the longest name, while the list has room for that.
    void FitGrid();
    // The widest name's width. A big folder measures its longest names
    // only: measuring 100,000 names would take longer than their listing.
    int LongestName() const;
    static constexpr int MeasuredNames = 2000;

    TRemoteItemModel *FItems;
    TFileDetails *FDetails;
    int FLongestName = 0;
    TViewStyle FViewStyle = vsIcon;
};
