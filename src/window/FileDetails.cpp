#include "FileDetails.h"

#include "FileFacts.h"

#include <QDate>

#include "ByteUnits.h"
#include "RemoteItemModel.h"
#include "RemoteName.h"

#include <QHeaderView>
#include <QIcon>
#include <QListView>
#include <QPainter>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QStringList>

#include <algorithm>

namespace {

// One way of comparing for the two kinds of text: QString's characters,
// and bytes that are all ASCII, whose case folds as QString's would.
template <typename Text, typename Fold>
int NaturalCompareOf(const Text &left, const Text &right, Fold fold)
{
    const auto digit = [](auto ch) { return ch >= '0' && ch <= '9'; };
    size_t i = 0, j = 0;
    const size_t leftSize = size_t(left.size()), rightSize = size_t(right.size());
    while (i < leftSize && j < rightSize) {
        if (digit(left[i]) && digit(right[j])) {
            // Numbers by their value: leading zeros aside, the longer is the
            // greater, else the first digit that differs tells.
            while (i < leftSize && left[i] == '0')
                ++i;
            while (j < rightSize && right[j] == '0')
                ++j;
            size_t endLeft = i, endRight = j;
            while (endLeft < leftSize && digit(left[endLeft]))
                ++endLeft;
            while (endRight < rightSize && digit(right[endRight]))
                ++endRight;
            if (endLeft - i != endRight - j)
                return endLeft - i < endRight - j ? -1 : 1;
            for (; i < endLeft; ++i, ++j)
                if (left[i] != right[j])
                    return left[i] < right[j] ? -1 : 1;
            continue;
        }
        const auto a = fold(left[i]), b = fold(right[j]);
        if (a != b)
            return a < b ? -1 : 1;
        ++i;
        ++j;
    }
    if (i < leftSize || j < rightSize)
        return i < leftSize ? 1 : -1;
    const int exact = left.compare(right);
    return exact < 0 ? -1 : exact > 0 ? 1 : 0;
}

bool IsAscii(std::string_view text)
{
    return std::all_of(text.begin(), text.end(), [](char ch) { return (ch & 0x80) == 0; });
}

}  // namespace

int NaturalCompare(const QString &left, const QString &right)
{
    return NaturalCompareOf(left, right, [](QChar ch) { return ch.toCaseFolded(); });
}

int NaturalCompare(std::string_view left, std::string_view right)
{
    // Most names are ASCII: compared as they are, without a QString each.
    if (IsAscii(left) && IsAscii(right))
        return NaturalCompareOf(left, right, [](char ch) { return ch >= 'A' && ch <= 'Z' ? char(ch + 32) : ch; });
    return NaturalCompare(RemoteDisplayName(left), RemoteDisplayName(right));
}

TFileDetails::TFileDetails(QListView &view, TRemoteItemModel &items)
    : QObject(&view), FView(view), FItems(items), FHeader(new QHeaderView(Qt::Horizontal, &view))
{
    FHeader->setObjectName("hdFiles");
    auto *columns = new QStandardItemModel(0, ColumnCount, FHeader);
    columns->setHorizontalHeaderLabels({"Name", "Size", "Modified", "Permissions", "Owner"});
    FHeader->setModel(columns);
    FHeader->setSectionsClickable(true);
    FHeader->setSortIndicatorShown(true);
    FHeader->setSortIndicator(-1, Qt::AscendingOrder);
    FHeader->setStretchLastSection(false);
    const int widths[ColumnCount] = {260, 80, 130, 100, 90};
    for (int column = 0; column < ColumnCount; ++column)
        FHeader->resizeSection(column, widths[column]);
    FHeader->hide();
    connect(FHeader, &QHeaderView::sectionClicked, this, [this](int column) {
        SortBy(column, column == FSortColumn && FSortOrder == Qt::AscendingOrder ? Qt::DescendingOrder
                                                                                   : Qt::AscendingOrder);
    });
    connect(FHeader, &QHeaderView::sectionResized, this, [this] {
        if (OnWidthChanged)
            OnWidthChanged();
    });
    connect(FView.horizontalScrollBar(), &QScrollBar::valueChanged, this, [this] { Place(); });
    // A new listing comes in the chosen order.
    connect(&FItems, &QAbstractItemModel::modelReset, this, [this] {
        if (FShown && FSortColumn >= 0)
            Sort();
    });
}

void TFileDetails::SetShown(bool shown)
{
    if (FShown == shown)
        return;
    FShown = shown;
    FHeader->setVisible(shown);
    if (FSortColumn >= 0)
        Sort();
    Place();
}

int TFileDetails::Width() const
{
    return FHeader->length();
}

int TFileDetails::NameWidth() const
{
    return FHeader->sectionSize(Name);
}

int TFileDetails::HeaderHeight() const
{
    return FHeader->sizeHint().height();
}

void TFileDetails::Place()
{
    const QRect rows = FView.viewport()->geometry();
    FHeader->setGeometry(rows.left(), rows.top() - HeaderHeight(), rows.width(), HeaderHeight());
    FHeader->setOffset(FView.horizontalScrollBar()->value());
}

int TFileDetails::ColumnAt(const QPoint &pos) const
{
    return FHeader->logicalIndexAt(pos.x());
}

void TFileDetails::Paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    const TRemoteItemModel::TEntry item = FItems.Entry(index.row());
    QStyle *style = FView.style();
    // The selection and the hover run the whole row.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &option, painter, &FView);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette::ColorGroup group = !(option.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (option.state & QStyle::State_Active) ? QPalette::Normal
                                                                               : QPalette::Inactive;
    painter->save();
    painter->setPen(option.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    for (int column = 0; column < ColumnCount; ++column) {
        QRect cell(option.rect.left() + FHeader->sectionPosition(column), option.rect.top(),
                   FHeader->sectionSize(column), option.rect.height());
        cell.adjust(4, 0, -4, 0);
        QString text;
        int align = Qt::AlignLeft | Qt::AlignVCenter;
        switch (column) {
        case Name: {
            const QSize icon = FView.iconSize();
            FItems.data(index, Qt::DecorationRole)
                .value<QIcon>()
                .paint(painter, QRect(cell.left(), cell.top() + (cell.height() - icon.height()) / 2, icon.width(),
                                      icon.height()));
            cell.setLeft(cell.left() + icon.width() + 4);
            text = RemoteDisplayName(item.RawName);
            break;
        }
        case Size:
            text = item.Size >= 0 ? ByteText(item.Size) : QString();
            align = Qt::AlignRight | Qt::AlignVCenter;
            break;
        case Modified:
            // The listing's own words where it gave no time we could read.
            text = ListingTimeText(item.Time, QDate::currentDate().year(), item.Second, item.DateOnly);
            if (text.isEmpty())
                text = QString::fromLatin1(item.Modified.data(), qsizetype(item.Modified.size()));
            break;
        case Permissions:
            text = QString::fromLatin1(item.Permissions.data(), qsizetype(item.Permissions.size()));
            break;
        case Owner:
            text = RemoteDisplayName(item.Owner);
            break;
        }
        painter->drawText(cell, align, option.fontMetrics.elidedText(text, Qt::ElideRight, cell.width()));
    }
    painter->restore();
    if (option.state & QStyle::State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(option);
        style->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, painter, &FView);
    }
}

void TFileDetails::SortBy(int column, Qt::SortOrder order)
{
    FSortColumn = column >= 0 && column < ColumnCount ? column : -1;
    FSortOrder = order;
    FHeader->setSortIndicator(FSortColumn, order);
    Sort();
}

void TFileDetails::Sort()
{
    using TEntry = TRemoteItemModel::TEntry;
    if (!FShown || FSortColumn < 0) {
        FItems.Reorder({});
        return;
    }
    const auto compare = [column = FSortColumn](const TEntry &a, const TEntry &b) -> int {
        switch (column) {
        case Size:
            return a.Size == b.Size ? 0 : a.Size < b.Size ? -1 : 1;
        case Modified:
            return a.Time == b.Time ? 0 : a.Time < b.Time ? -1 : 1;
        case Permissions:
            return a.Permissions.compare(b.Permissions);
        case Owner:
            return a.Owner.compare(b.Owner);
        default:
            return NaturalCompare(a.RawName, b.RawName);
        }
    };
    const bool descending = FSortOrder == Qt::DescendingOrder;
    FItems.Reorder([&](const TEntry &a, const TEntry &b) {
        const int order = compare(a, b);
        return descending ? order > 0 : order < 0;
    });
}

QString TFileDetails::State() const
{
    QStringList widths;
    for (int column = 0; column < ColumnCount; ++column)
        widths.append(QString::number(FHeader->sectionSize(column)));
    return widths.join(',') + ';' + QString::number(FSortColumn) + ';' + QString::number(int(FSortOrder));
}

void TFileDetails::SetState(const QString &state)
{
    const QStringList parts = state.split(';');
    const QStringList widths = parts.value(0).split(',');
    // A state kept before a column was added holds fewer widths: those it
    // has still count.
    if (widths.size() > 1)
        for (int column = 0; column < std::min(int(widths.size()), int(ColumnCount)); ++column) {
            bool number = false;
            const int width = widths[column].toInt(&number);
            if (number && width > 0)
                FHeader->resizeSection(column, std::min(width, 4000));
        }
    bool number = false;
    const int column = parts.value(1).toInt(&number);
    if (number)
        SortBy(column, parts.value(2) == "1" ? Qt::DescendingOrder : Qt::AscendingOrder);
}
