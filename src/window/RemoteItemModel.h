// The items of the remote file list: the exact bytes of each name, its
// size, date and permissions as the listing gave them, and the system icon
// index, in listing order. Kept compactly, because a listing may hold
// millions of entries: a row costs its name's bytes and two dozen more,
// the listing's date and permission texts are kept once each, and a
// caption is made only for the rows that are shown.
#pragma once

#include <QAbstractListModel>
#include <QColor>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class TdfsSystemImageList;
struct TListingEntry;

class TRemoteItemModel : public QAbstractListModel {
    Q_OBJECT
public:
    // The role that gives the name's bytes, as a QByteArray.
    static constexpr int RawNameRole = Qt::UserRole + 1;
    static constexpr int ImageIndexRole = Qt::UserRole + 2;
    // The words of a row's mark, "" when it has none.
    static constexpr int MarkRole = Qt::UserRole + 3;
    // A folder item's permissions as the listing gave them ("drwxr-x---").
    static constexpr int PermissionsRole = Qt::UserRole + 4;

    // A mark others put on rows by their name (a comparison's): words that
    // the tooltip and screen readers give, and a colour behind the row.
    struct TMark {
        QString Text;
        QColor Colour;
    };
    std::function<const TMark *(std::string_view rawName)> MarkOf;
    // The marks changed: the rows are drawn anew.
    void MarksChanged();
    // How many entries of the listing the filename filters hid.
    size_t Hidden = 0;

    explicit TRemoteItemModel(const TdfsSystemImageList *images, QObject *parent = nullptr);

    // One entry's fields, as a value.
    struct TItem {
        std::string RawName;
        QString Caption;
        int ImageIndex = -1;
        // What the details view shows; -1 where the listing did not say.
        int64_t Size = -1;
        std::string Modified{};
        int64_t Time = -1;  // YYYYMMDDhhmm
        // Its second where the listing gave it, else -1; the day alone.
        int Second = -1;
        bool DateOnly = false;
        std::string Permissions{}, Owner{};
        // The place in the listing, which the other styles keep.
        int Order = 0;
    };
    // An entry's fields without a copy, for painting and sorting.
    struct TEntry {
        std::string_view RawName, Modified, Permissions, Owner;
        int64_t Size = -1;
        int64_t Time = -1;
        int Second = -1;
        bool DateOnly = false;
    };

    // The rows of one listing, gathered as it arrives. Kept in blocks that
    // never move, so a growing listing is never copied whole.
    class TRows {
    public:
        TRows() = default;
        TRows(TRows &&) = default;
        TRows &operator=(TRows &&) = default;
        // `image`: the system icon index for the entry's name.
        void Add(const TListingEntry &entry, int image);
        size_t Count() const { return FCount; }
        // By the names' bytes (machine listings come in no set order).
        void SortByName();
        // The entry at a place of the listing.
        TEntry Entry(size_t at) const;
        int Image(size_t at) const { return Row(at).Image; }
        // What only the gathering needs goes.
        void Done();

    private:
        struct TRow {
            uint32_t Name = 0;  // where its bytes begin in the text blocks
            uint32_t Time = UINT32_MAX;  // packed; UINT32_MAX: none
            int64_t Size = -1;
            uint16_t NameLength = 0;
            // In FDates and FModes (permissions and owner, a NUL between);
            // 0: none. A date past the table's end follows the name, after
            // a byte with its length.
            uint16_t Date = 0, Mode = 0;
            int16_t Image = -1;
        };
        static constexpr size_t RowBlock = 1 << 16;
        static constexpr size_t TextBlock = 1 << 20;
        static constexpr uint16_t Full = UINT16_MAX;
        struct THash {
            using is_transparent = void;
            size_t operator()(std::string_view text) const { return std::hash<std::string_view>()(text); }
        };
        using TIndex = std::unordered_map<std::string, uint16_t, THash, std::equal_to<>>;
        // A text's number in the table, made on first sight; Full when the
        // table has no room.
        static uint16_t Intern(std::vector<std::string> &table, TIndex &index, std::string_view text);
        const TRow &Row(size_t at) const;
        const char *Text(uint32_t at) const { return FText[at / TextBlock].get() + at % TextBlock; }
        // Room for `bytes` in the text blocks, which may not cross a block.
        uint32_t Place(size_t bytes);

        std::vector<std::unique_ptr<TRow[]>> FRows;
        // How much of each row's time the listing gave, a byte a row beside
        // the rows (they stay at two dozen bytes): its second (0 to 59),
        // the minute alone, or the day alone.
        static constexpr uint8_t ToTheMinute = 60, TheDayAlone = 61;
        std::vector<std::unique_ptr<uint8_t[]>> FClocks;
        size_t FCount = 0;
        std::vector<std::unique_ptr<char[]>> FText;
        size_t FTextEnd = 0;
        // The listing's order, when it is not the order of arrival.
        std::vector<uint32_t> FBase;
        std::vector<std::string> FDates{std::string()}, FModes{std::string()};
        TIndex FDateIndex, FModeIndex;
    };

    void Clear();
    // A listing's rows at once, in its order.
    void Assign(TRows rows);
    // Items made by hand (a test, a drop): in this order.
    void Assign(const std::vector<TItem> &items);

    TItem Item(int row) const;
    TEntry Entry(int row) const { return FRows.Entry(EntryOf(row)); }
    std::string RawName(int row) const { return std::string(Entry(row).RawName); }
    QString Caption(int row) const;
    int ImageIndex(int row) const;

    // Puts the rows in the order `less` gives, ties in listing order; an
    // empty `less`: the listing's order. The selection and the current
    // item stay on their entries.
    void Reorder(const std::function<bool(const TEntry &, const TEntry &)> &less);
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
    // The place in the listing of the entry a row shows.
    size_t EntryOf(int row) const { return FOrder.empty() ? size_t(row) : FOrder[size_t(row)]; }

    const TdfsSystemImageList *FImages;
    TRows FRows;
    // The rows' order, when it is not the listing's.
    std::vector<uint32_t> FOrder;
};
