#include "FileListView.h"

#include <QDropEvent>
#include <QHelpEvent>
#include <QToolTip>

#include <algorithm>

TFileListView::TFileListView(const TdfsSystemImageList *images, QWidget *parent)
    : QListView(parent), FItems(new TRemoteItemModel(images, this))
{
    setModel(FItems);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    setDragEnabled(true);
    setAcceptDrops(true);
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
        setGridSize({112, 64});
        setWordWrap(true);
        // Each caption gets the width of its grid cell, not the icon's.
        setUniformItemSizes(false);
        break;
    case vsSmallIcon:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setGridSize({160, 20});
        setWordWrap(false);
        break;
    case vsList:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::TopToBottom);
        setWrapping(true);
        setGridSize({});
        setWordWrap(false);
        break;
    case vsReport:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::TopToBottom);
        setWrapping(false);
        setGridSize({});
        setWordWrap(false);
        break;
    }
    if (style != vsIcon)
        setUniformItemSizes(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    // A static list takes no drops of its own: the owner's, it does.
    setDragEnabled(true);
    viewport()->setAcceptDrops(true);
    emit ViewStyleSet(style);
}

std::vector<int> TFileListView::SelectedRows() const
{
    std::vector<int> rows;
    for (const QModelIndex &index : selectionModel()->selectedIndexes())
        rows.push_back(index.row());
    std::sort(rows.begin(), rows.end());
    return rows;
}

void TFileListView::dragEnterEvent(QDragEnterEvent *event)
{
    dragMoveEvent(event);
}

void TFileListView::dragMoveEvent(QDragMoveEvent *event)
{
    if (event->source() != this && OnDragOver && OnDragOver(event->source(), event->mimeData()))
        event->acceptProposedAction();
    else
        event->ignore();
}

void TFileListView::dropEvent(QDropEvent *event)
{
    if (event->source() != this && OnDragDrop)
        OnDragDrop(event->source(), event->mimeData());
    event->acceptProposedAction();
}

bool TFileListView::viewportEvent(QEvent *event)
{
    if (event->type() != QEvent::ToolTip)
        return QListView::viewportEvent(event);
    const auto *help = static_cast<QHelpEvent *>(event);
    const QModelIndex index = indexAt(help->pos());
    QString tip = toolTip();
    if (index.isValid()) {
        // Room for the name beside the icon, or under it in two lines; a
        // grid cuts an entry to its cell.
        const int cell = gridSize().isValid() ? gridSize().width() : visualRect(index).width();
        const int room = viewMode() == IconMode ? 2 * cell - 8 : cell - iconSize().width() - 8;
        const QString caption = FItems->Item(index.row()).Caption;
        if (fontMetrics().horizontalAdvance(caption) > room)
            tip = caption;
    }
    QToolTip::showText(help->globalPos(), tip, viewport());
    return true;
}
