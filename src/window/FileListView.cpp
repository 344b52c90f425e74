#include "FileListView.h"

TFileListView::TFileListView(QWidget *parent) : QListWidget(parent)
{
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setUniformItemSizes(true);
    setMovement(QListView::Static);
    SetViewStyle(vsSmallIcon);
}

void TFileListView::SetViewStyle(TViewStyle style)
{
    FViewStyle = style;
    switch (style) {
    case vsIcon:
        setViewMode(QListView::IconMode);
        setIconSize({32, 32});
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setGridSize({80, 64});
        break;
    case vsSmallIcon:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setGridSize({160, 20});
        break;
    case vsList:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::TopToBottom);
        setWrapping(true);
        setGridSize({});
        break;
    case vsReport:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::TopToBottom);
        setWrapping(false);
        setGridSize({});
        break;
    }
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
}
