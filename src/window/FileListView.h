// The remote file list with the four view styles of the window: large
// icons in a flowing grid, small icons flowing left to right, small icons in
// columns from top to bottom, and one column of names.
#pragma once

#include "RemoteItemModel.h"

#include <QListView>

enum TViewStyle { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };

class TFileListView : public QListView {
    Q_OBJECT
public:
    explicit TFileListView(const TdfsSystemImageList *images, QWidget *parent = nullptr);

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle style);

    TRemoteItemModel *Items() const { return FItems; }
    int Count() const { return FItems->rowCount(); }
    QString Caption(int row) const { return FItems->Item(row).Caption; }
    // The selected rows, in list order.
    std::vector<int> SelectedRows() const;

signals:
    void ViewStyleSet(TViewStyle style);

private:
    TRemoteItemModel *FItems;
    TViewStyle FViewStyle = vsIcon;
};
