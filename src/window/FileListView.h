// The remote file list with the four view styles of the window: large
// icons in a flowing grid, small icons flowing left to right, small icons in
// columns from top to bottom, and one column of names.
#pragma once

#include <QListWidget>

enum TViewStyle { vsIcon = 0, vsSmallIcon = 1, vsList = 2, vsReport = 3 };

class TFileListView : public QListWidget {
    Q_OBJECT
public:
    explicit TFileListView(QWidget *parent = nullptr);

    TViewStyle ViewStyle() const { return FViewStyle; }
    void SetViewStyle(TViewStyle style);

private:
    TViewStyle FViewStyle = vsIcon;
};
