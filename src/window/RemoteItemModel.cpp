#include "RemoteItemModel.h"

#include "ByteUnits.h"
#include "FileFacts.h"

#include <QDate>
#include <QStringList>

#include "ListingParser.h"
#include "RemoteName.h"
#include "SystemImageList.h"

#include <QMimeData>

#include <algorithm>
#include <numeric>

namespace {

// YYYYMMDDhhmm as a number that sorts the same and fits 32 bits: the
// years 1900 to 8899 (others are taken as the nearest), the fields as the
// listing gave them.
uint32_t PackTime(int64_t time)
{
    if (time < 0)
        return UINT32_MAX;
    const int64_t minute = std::min<int64_t>(time % 100, 59), hour = std::min<int64_t>(time / 100 % 100, 23),
                  day = std::min<int64_t>(time / 10000 % 100, 31), month = std::min<int64_t>(time / 1000000 % 100, 12),
                  year = std::clamp<int64_t>(time / 100000000, 1900, 8899) - 1900;
    return uint32_t(((((year * 13 + month) * 32 + day) * 24 + hour) * 60) + minute);
}

int64_t UnpackTime(uint32_t packed)
{
    if (packed == UINT32_MAX)
        return -1;
    int64_t rest = packed;
    const int64_t minute = rest % 60, hour = (rest /= 60) % 24, day = (rest /= 24) % 32, month = (rest /= 32) % 13,
                  year = rest / 13 + 1900;
    return (((year * 100 + month) * 100 + day) * 100 + hour) * 100 + minute;
}

}  // namespace

// ---- the rows of a listing ----------------------------------------------------------------

uint16_t TRemoteItemModel::TRows::Intern(std::vector<std::string> &table, TIndex &index, std::string_view text)
{
    if (text.empty())
        return 0;
    if (const auto found = index.find(text); found != index.end())
        return found->second;
    if (table.size() >= Full)
        return Full;
    const auto number = uint16_t(table.size());
    table.emplace_back(text);
    index.emplace(table.back(), number);
    return number;
}

uint32_t TRemoteItemModel::TRows::Place(size_t bytes)
{
    if (FTextEnd + bytes > FText.size() * TextBlock) {
        FText.push_back(std::make_unique<char[]>(TextBlock));
        FTextEnd = (FText.size() - 1) * TextBlock;
    }
    const auto at = uint32_t(FTextEnd);
    FTextEnd += bytes;
    return at;
}

void TRemoteItemModel::TRows::Add(const TListingEntry &entry, int image)
{
    // Four gibibytes of names, or a name no line could hold, are no
    // listing's: a reader stops long before.
    if (entry.Name.size() > UINT16_MAX || FText.size() * TextBlock >= UINT32_MAX - TextBlock)
        return;
    TRow row;
    row.NameLength = uint16_t(entry.Name.size());
    row.Date = Intern(FDates, FDateIndex, entry.Modified);
    row.Mode = Intern(FModes, FModeIndex,
                      entry.Owner.empty() ? entry.Permissions : entry.Permissions + '\0' + entry.Owner);
    if (row.Mode == Full)
        row.Mode = 0;
    const size_t dateLength = row.Date == Full ? std::min<size_t>(entry.Modified.size(), 255) : 0;
    row.Name = Place(entry.Name.size() + (row.Date == Full ? 1 + dateLength : 0));
    char *text = FText.back().get() + row.Name % TextBlock;
    std::copy(entry.Name.begin(), entry.Name.end(), text);
    if (row.Date == Full) {
        text[entry.Name.size()] = char(dateLength);
        std::copy_n(entry.Modified.begin(), dateLength, text + entry.Name.size() + 1);
    }
    row.Size = entry.Size;
    row.Time = PackTime(entry.Time);
    row.Image = int16_t(std::clamp(image, -1, int(INT16_MAX)));
    if (FCount % RowBlock == 0) {
        FRows.push_back(std::make_unique<TRow[]>(RowBlock));
        FClocks.push_back(std::make_unique<uint8_t[]>(RowBlock));
    }
    FRows.back()[FCount % RowBlock] = row;
    FClocks.back()[FCount % RowBlock] = entry.DateOnly               ? TheDayAlone
                                        : entry.Second >= 0 && entry.Second < 60 ? uint8_t(entry.Second)
                                                                                 : ToTheMinute;
    ++FCount;
}

const TRemoteItemModel::TRows::TRow &TRemoteItemModel::TRows::Row(size_t at) const
{
    const size_t arrival = FBase.empty() ? at : FBase[at];
    return FRows[arrival / RowBlock][arrival % RowBlock];
}

TRemoteItemModel::TEntry TRemoteItemModel::TRows::Entry(size_t at) const
{
    const TRow &row = Row(at);
    TEntry entry;
    const char *name = Text(row.Name);
    entry.RawName = std::string_view(name, row.NameLength);
    if (row.Date == Full)
        entry.Modified = std::string_view(name + row.NameLength + 1, size_t(uint8_t(name[row.NameLength])));
    else
        entry.Modified = FDates[row.Date];
    const std::string_view mode = FModes[row.Mode];
    const size_t owner = mode.find('\0');
    entry.Permissions = mode.substr(0, owner);
    entry.Owner = owner == std::string_view::npos ? std::string_view() : mode.substr(owner + 1);
    entry.Size = row.Size;
    entry.Time = UnpackTime(row.Time);
    const size_t arrival = FBase.empty() ? at : FBase[at];
    const uint8_t clock = FClocks[arrival / RowBlock][arrival % RowBlock];
    entry.Second = clock < ToTheMinute ? clock : -1;
    entry.DateOnly = clock == TheDayAlone;
    return entry;
}

void TRemoteItemModel::TRows::Done()
{
    TIndex().swap(FDateIndex);
    TIndex().swap(FModeIndex);
}

void TRemoteItemModel::TRows::SortByName()
{
    FBase.clear();
    std::vector<uint32_t> order(FCount);
    std::iota(order.begin(), order.end(), 0u);
    std::stable_sort(order.begin(), order.end(),
                     [this](uint32_t a, uint32_t b) { return Entry(a).RawName < Entry(b).RawName; });
    FBase = std::move(order);
}

// ---- the model ----------------------------------------------------------------------------------

TRemoteItemModel::TRemoteItemModel(const TdfsSystemImageList *images, QObject *parent)
    : QAbstractListModel(parent), FImages(images)
{
}

void TRemoteItemModel::Clear()
{
    beginResetModel();
    FRows = TRows();
    std::vector<uint32_t>().swap(FOrder);
    endResetModel();
}

void TRemoteItemModel::Assign(TRows rows)
{
    beginResetModel();
    rows.Done();
    FRows = std::move(rows);
    std::vector<uint32_t>().swap(FOrder);
    endResetModel();
}

void TRemoteItemModel::Assign(const std::vector<TItem> &items)
{
    TRows rows;
    for (const TItem &item : items) {
        TListingEntry entry;
        entry.Name = item.RawName;
        entry.Size = item.Size;
        entry.Modified = item.Modified;
        entry.Time = item.Time;
        entry.Second = item.Second;
        entry.DateOnly = item.DateOnly;
        entry.Permissions = item.Permissions;
        entry.Owner = item.Owner;
        rows.Add(entry, item.ImageIndex);
    }
    Assign(std::move(rows));
}

TRemoteItemModel::TItem TRemoteItemModel::Item(int row) const
{
    const TEntry entry = Entry(row);
    TItem item{std::string(entry.RawName), Caption(row), ImageIndex(row), entry.Size, std::string(entry.Modified),
               entry.Time};
    item.Second = entry.Second;
    item.DateOnly = entry.DateOnly;
    item.Permissions = std::string(entry.Permissions);
    item.Owner = std::string(entry.Owner);
    item.Order = int(EntryOf(row));
    return item;
}

QString TRemoteItemModel::Caption(int row) const
{
    return RemoteDisplayName(Entry(row).RawName);
}

int TRemoteItemModel::ImageIndex(int row) const
{
    return FRows.Image(EntryOf(row));
}

void TRemoteItemModel::Reorder(const std::function<bool(const TEntry &, const TEntry &)> &less)
{
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    // Where each persistent row's entry is in the listing.
    std::vector<size_t> entries;
    entries.reserve(size_t(before.size()));
    for (const QModelIndex &index : before)
        entries.push_back(index.isValid() ? EntryOf(index.row()) : SIZE_MAX);
    std::vector<uint32_t> order;
    if (less) {
        order.resize(FRows.Count());
        std::iota(order.begin(), order.end(), 0u);
        std::stable_sort(order.begin(), order.end(),
                         [&](uint32_t a, uint32_t b) { return less(FRows.Entry(a), FRows.Entry(b)); });
    }
    FOrder = std::move(order);
    QModelIndexList after;
    after.reserve(before.size());
    if (!entries.empty()) {
        std::vector<uint32_t> rowOf(FRows.Count());
        for (size_t row = 0; row < rowOf.size(); ++row)
            rowOf[EntryOf(int(row))] = uint32_t(row);
        for (const size_t entry : entries)
            after.append(entry < rowOf.size() ? this->index(int(rowOf[entry])) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int TRemoteItemModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(FRows.Count());
}

QVariant TRemoteItemModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return Caption(index.row());
    case Qt::DecorationRole:
        return FImages->Icon(ImageIndex(index.row()));
    case RawNameRole: {
        const std::string_view name = Entry(index.row()).RawName;
        return QByteArray(name.data(), qsizetype(name.size()));
    }
    case ImageIndexRole:
        return ImageIndex(index.row());
    case MarkRole:
    case Qt::BackgroundRole: {
        const TMark *mark = MarkOf ? MarkOf(Entry(index.row()).RawName) : nullptr;
        if (!mark)
            return {};
        return role == MarkRole ? QVariant(mark->Text) : mark->Colour.isValid() ? QVariant(mark->Colour) : QVariant();
    }
    case Qt::AccessibleDescriptionRole: {
        // A screen reader hears after the name what the details show:
        // "1 B, 8 Dec 10:14".
        const TEntry entry = Entry(index.row());
        QStringList parts;
        if (entry.Size >= 0)
            parts << ByteText(entry.Size);
        if (const QString when = ListingTimeText(entry.Time, QDate::currentDate().year(), entry.Second, entry.DateOnly);
            !when.isEmpty())
            parts << when;
        if (const TMark *mark = MarkOf ? MarkOf(entry.RawName) : nullptr)
            parts << mark->Text;
        return parts.join(", ");
    }
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
        if (index.isValid() && index.row() < rowCount()) {
            const std::string_view name = Entry(index.row()).RawName;
            names += QByteArray(name.data(), qsizetype(name.size())) + '\0';
        }
    auto *data = new QMimeData;
    data->setData(QString::fromLatin1(DragFormat), names);
    return data;
}

void TRemoteItemModel::MarksChanged()
{
    if (rowCount() > 0)
        emit dataChanged(index(0), index(rowCount() - 1), {Qt::BackgroundRole, MarkRole, Qt::AccessibleDescriptionRole});
}
