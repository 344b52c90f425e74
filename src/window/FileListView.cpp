#include "FileListView.h"

#include "ByteUnits.h"
#include "FileDetails.h"

#include <QDropEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QLocale>
#include <QToolTip>

#include <QStyledItemDelegate>

#include <algorithm>
#include <functional>
#include <utility>
#include <vector>

namespace {

// In the list styles every entry fills its grid cell: the view takes one
// entry's size for all of them (the last one's), which would cut longer
// names before the cell ends.
class TCellDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto *view = static_cast<const QListView *>(parent());
        if (view->viewMode() == QListView::ListMode && view->gridSize().isValid())
            return view->gridSize();
        return QStyledItemDelegate::sizeHint(option, index);
    }

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        const auto *view = static_cast<const TFileListView *>(parent());
        if (view->ViewStyle() != vsReport)
            return QStyledItemDelegate::paint(painter, option, index);
        QStyleOptionViewItem row = option;
        initStyleOption(&row, index);
        view->Details().Paint(painter, row, index);
    }
};

}  // namespace

TFileListView::TFileListView(const TdfsSystemImageList *images, QWidget *parent)
    : QListView(parent), FItems(new TRemoteItemModel(images, this))
{
    setModel(FItems);
    FDetails = new TFileDetails(*this, *FItems);
    FDetails->OnWidthChanged = [this] {
        FitGrid();
        viewport()->update();
    };
    setItemDelegate(new TCellDelegate(this));
    connect(FItems, &QAbstractItemModel::modelReset, this, [this] {
        FLongestName = LongestName();
        FitGrid();
    });
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    setLayoutMode(QListView::Batched);
    setBatchSize(2000);
    setDragEnabled(true);
    setAcceptDrops(true);
    SetViewStyle(vsSmallIcon);
}

int TFileListView::LongestName() const
{
    // The longest by their bytes (a character takes one or more), kept in
    // a heap of their own: a folder of millions needs no list of all.
    std::vector<std::pair<size_t, int>> longest;
    longest.reserve(MeasuredNames + 1);
    const auto shorter = std::greater<>();
    for (int row = 0; row < FItems->rowCount(); ++row) {
        const size_t length = FItems->Entry(row).RawName.size();
        if (longest.size() == size_t(MeasuredNames) && length <= longest.front().first)
            continue;
        longest.emplace_back(length, row);
        std::push_heap(longest.begin(), longest.end(), shorter);
        if (longest.size() > size_t(MeasuredNames)) {
            std::pop_heap(longest.begin(), longest.end(), shorter);
            longest.pop_back();
        }
    }
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const auto &[length, row] : longest)
        widest = std::max(widest, metrics.horizontalAdvance(FItems->Caption(row)));
    return widest;
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
        setWordWrap(true);
        // Each caption gets the width of its grid cell, not the icon's.
        setUniformItemSizes(false);
        break;
    case vsSmallIcon:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::LeftToRight);
        setWrapping(true);
        setWordWrap(false);
        break;
    case vsList:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::TopToBottom);
        setWrapping(true);
        setWordWrap(false);
        break;
    case vsReport:
        setViewMode(QListView::ListMode);
        setIconSize({16, 16});
        setFlow(QListView::TopToBottom);
        setWrapping(false);
        setWordWrap(false);
        break;
    }
    // The details' header stands over the rows.
    setViewportMargins(0, style == vsReport ? FDetails->HeaderHeight() : 0, 0, 0);
    setHorizontalScrollMode(style == vsReport ? ScrollPerPixel : ScrollPerItem);
    FDetails->SetShown(style == vsReport);
    if (style != vsIcon)
        setUniformItemSizes(true);
    setResizeMode(QListView::Adjust);
    setMovement(QListView::Static);
    FitGrid();
    // A static list takes no drops of its own: the owner's, it does.
    setDragEnabled(true);
    viewport()->setAcceptDrops(true);
    emit ViewStyleSet(style);
}

void TFileListView::FitGrid()
{
    // The narrowest cells are the window's own; wider ones as the names
    // need, up to the list's width (a single column scrolls sideways).
    const QFontMetrics metrics = fontMetrics();
    // The view lays its items out in its width less a scroll bar's, which
    // it keeps free in case one is needed: an item wider than that starts
    // a new row below an empty first one.
    const int room = viewport()->width() - style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, verticalScrollBar()) -
                     2 * spacing() - 2;
    const int lineHeight = std::max(20, metrics.height() + 4);
    const auto fit = [&](int least, int need, bool capped) {
        return capped ? std::max(least, std::min(need, room)) : std::max(least, need);
    };
    const int smallNeed = iconSize().width() + FLongestName + 14;
    QSize grid;
    switch (FViewStyle) {
    case vsIcon:
        grid = {fit(112, FLongestName + 12, true), std::max(64, 36 + 2 * metrics.lineSpacing())};
        break;
    case vsSmallIcon:
        grid = {fit(160, smallNeed, true), lineHeight};
        break;
    case vsList:
        grid = {fit(60, smallNeed, true), lineHeight};
        break;
    case vsReport:
        grid = {FDetails->Width(), lineHeight};
        break;
    }
    if (grid != gridSize()) {
        setGridSize(grid);
        // The view keeps the entries' size until it is told they changed.
        setUniformItemSizes(false);
        if (FViewStyle != vsIcon)
            setUniformItemSizes(true);
    }

}

void TFileListView::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    FitGrid();
    FDetails->Place();
}

void TFileListView::focusInEvent(QFocusEvent *event)
{
    QListView::focusInEvent(event);
    if (event->reason() != Qt::MouseFocusReason && !currentIndex().isValid() && FItems->rowCount() > 0)
        selectionModel()->setCurrentIndex(FItems->index(0), QItemSelectionModel::NoUpdate);
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
    if (index.isValid() && FViewStyle == vsReport) {
        // The exact byte count over a size; the whole name over a cut one.
        const int64_t size = FItems->Entry(index.row()).Size;
        const QString caption = FItems->Caption(index.row());
        const int column = FDetails->ColumnAt(help->pos());
        if (column == TFileDetails::Size && size >= 0)
            tip = QLocale::system().toString(qlonglong(size)) + (size == 1 ? " byte" : " bytes");
        else if (column == TFileDetails::Name &&
                 fontMetrics().horizontalAdvance(caption) > FDetails->NameWidth() - iconSize().width() - 16)
            tip = caption;
    } else if (index.isValid()) {
        // Room for the name beside the icon, or under it in two lines; a
        // grid cuts an entry to its cell.
        const int cell = gridSize().isValid() ? gridSize().width() : visualRect(index).width();
        const int room = viewMode() == IconMode ? 2 * cell - 8 : cell - iconSize().width() - 8;
        const QString caption = FItems->Caption(index.row());
        if (fontMetrics().horizontalAdvance(caption) > room)
            tip = caption;
    }
    // A comparison's mark, under whatever else the tip says.
    if (const QString mark = index.data(TRemoteItemModel::MarkRole).toString(); !mark.isEmpty())
        tip = (tip.isEmpty() || tip == toolTip() ? FItems->Caption(index.row()) : tip) + '\n' + mark;
    QToolTip::showText(help->globalPos(), tip, viewport());
    return true;
}
