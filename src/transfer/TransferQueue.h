// The transfer queue: what is to move between the local disk and the
// server, in order, and where each item stands. Items change state only
// by the events of one table, so a row never shows a state it cannot
// have (Done after Cancelled, say). Main thread only; the worker that
// moves the files reports here through its owner.
#pragma once

#include <QString>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <array>
#include <optional>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// Delete: a remote folder with all it holds, on the transfer connection.
enum class TTransferDirection : uint8_t { Download, Upload, Delete };
enum class TTransferState : uint8_t { Queued, Transferring, Done, Failed, Cancelled };
// Start and Finish/Fail come from the worker; Cancel and Retry from the
// user; Interrupt puts a transfer stopped by a disconnect or the window's
// close back in line, unfinished.
enum class TTransferEvent { Start, Finish, Fail, Cancel, Retry, Interrupt };

// What a folder download takes of each entry of a folder's listing: a
// quarter of a full entry, for listings of a million.
struct TListedEntry {
    std::string Name;
    int64_t Size = -1;
    int64_t Seconds = -1;
    bool IsFolder = false;
    bool IsLink = false;
};

// A queue may hold a million: the fields are laid out so that none pads
// another.
struct TTransferItem {
    int Id = 0;
    // The items one request queued (a selection, a drop) share a batch.
    int Batch = 0;
    TTransferDirection Direction = TTransferDirection::Download;
    TTransferState State = TTransferState::Queued;
    // A folder: a download lists it when its turn comes and queues what it
    // holds; an upload makes it on the server. LocalPath is the folder.
    bool Folder = false;
    // A listed link: to a file it is downloaded, to a folder skipped.
    bool Link = false;
    // The user chose the target in a dialog that asked before replacing:
    // no second question.
    bool Confirmed = false;
    // Queued again after its run ended unclean: a file that had arrived
    // whole before the end, same size and time at its target, is done.
    bool Recovered = false;
    int64_t Size = -1;  // -1: not known yet
    int64_t Done = 0;
    double Speed = 0;  // bytes per second, while it runs
    // Bytes, as the kernel and the server take them.
    std::string LocalPath;
    std::string RemoteFolder;  // absolute, as the server names it
    std::string RemoteName;
    // The remote file's time to the second ("YYYYMMDDhhmmss", UTC), where
    // its listing gave it; else "".
    std::string Time;
    QString Reason;  // why it failed, or why it stopped
    // The algorithm whose digest the server's matched ("SHA-256"), or "".
    QString Verified;
    // An upload's folder as the view listed it when it was queued: names
    // found there need no question to the server (some answer no SIZE).
    std::shared_ptr<const std::unordered_set<std::string>> Listed;
    // Whose queue: "user@address" of the session that queued it.
    QString Site;
};

// What the Transfers page says of an item's state: "Queued", "Verified
// (SHA-256)", "Failed: " and why.
QString TransferStateText(const TTransferItem &item);

class TTransferQueue {
public:
    // The state an event leads to, or nothing when it cannot happen there.
    static std::optional<TTransferState> Next(TTransferState state, TTransferEvent event);

    // Queues at the end; returns the item's id.
    int Add(TTransferItem item);
    // Queues many at the end, with one report.
    void Add(std::vector<TTransferItem> items);
    // Queues right behind an item (a folder's contents behind the folder),
    // in their order, in its batch and for its site.
    void InsertAfter(int id, std::vector<TTransferItem> items);
    // The same for what `next` makes, one item at a time, until it answers
    // false; `count` is how many it may make. A million listed files are
    // built in place, never held twice.
    void InsertAfter(int id, size_t count, const std::function<bool(TTransferItem &)> &next);
    const std::vector<TTransferItem> &Items() const { return FItems; }
    const TTransferItem *Find(int id) const;
    int RowOf(int id) const;

    // Applies the event; false (and nothing changes) when the table does
    // not allow it. Retry and Interrupt start the progress afresh.
    bool Apply(int id, TTransferEvent event, const QString &reason = {});
    void SetSize(int id, int64_t size);
    // Where an item goes, as its question decided: a download's local path,
    // an upload's remote name.
    void SetTarget(int id, const std::string &target);
    void SetVerified(int id, const QString &algorithm);
    void SetProgress(int id, int64_t done, double speed);

    // The first queued item (but those `skip` holds back), or none.
    const TTransferItem *NextQueued(const std::function<bool(int id)> &skip = {}) const;
    // Moves a queued item one place among the queued ones.
    bool MoveUp(int id);
    bool MoveDown(int id);
    // Every failed item back in line.
    void RetryFailed();
    // Removes the items that are done or cancelled.
    void ClearFinished();

    // Counts each change of what items there are, their states, targets
    // and order; not their progress.
    uint64_t Revision() const { return FRevision; }

    // Anything queued or running.
    bool Active() const { return Count(TTransferState::Queued) + Count(TTransferState::Transferring) > 0; }
    int Count(TTransferState state) const { return FCounts[size_t(state)]; }
    // Whether every item of a batch has ended (done, failed, cancelled).
    bool BatchEnded(int batch) const;
    // What became of an ended batch, in one line: "Transfer of selected
    // files complete." when all of it arrived, else "2 of 4 files
    // transferred; 1 failed, 1 cancelled."
    QString BatchSummary(int batch) const;
    int NewBatch() { return ++FLastBatch; }

    struct TTotals {
        int Pending = 0;  // queued and running
        // Of the pending items whose size is known. A listing may state any
        // 64-bit size, so the sums are kept wider than that: exact, as they
        // follow each change up and down.
        __int128 Bytes = 0, Done = 0;
        // What is left, and how much of it is done, for a person to read:
        // past the largest 64-bit number, that number.
        int64_t BytesShown() const { return Shown(Bytes); }
        int64_t DoneShown() const { return Shown(Done); }
        int64_t LeftShown() const { return Shown(Bytes - Done); }
        int Percent() const { return Bytes > 0 ? int(std::min<__int128>(100, Done * 100 / Bytes)) : 0; }

    private:
        static int64_t Shown(__int128 bytes)
        {
            return int64_t(std::clamp<__int128>(bytes, 0, std::numeric_limits<int64_t>::max()));
        }
    };
    const TTotals &Totals() const { return FTotals; }

    // Rows came or went or moved; one row's fields changed.
    std::function<void()> OnReset;
    std::function<void(int row)> OnRowChanged;

    // What a journal keeps of the queue: the ids of the items that came,
    // went between unfinished (queued, running, failed) and ended (done,
    // cancelled), or changed their target since last taken; followed only
    // once asked for.
    void FollowChanges() { FFollowing = true; }
    // The first `most` of them (an id may come again later), in the order
    // they changed.
    std::vector<int> TakeChanges(size_t most);
    bool ChangesWaiting() const { return !FChanges.empty(); }
    // The first change after none.
    std::function<void()> OnChangeWaiting;

private:
    TTransferItem *Item(int id);
    void Changed(int id);
    bool Swap(int id, int step);
    // The counts follow an item that comes, goes or changes state.
    void Count(const TTransferItem &item, int step);
    // The bytes of the totals alone, for a change of size or progress.
    void Weigh(const TTransferItem &item, int step);
    // Rows moved: the index is built again when next asked.
    void Moved();
    void Follow(int id);
    bool FFollowing = false;
    std::vector<int> FChanges;
    uint64_t FRevision = 0;

    // A folder may bring thousands of items: what is asked for each event
    // is kept at hand, not counted afresh.
    std::vector<TTransferItem> FItems;
    // Each item's row, by id: eight bytes an item, not a map's node.
    mutable std::vector<std::pair<int, uint32_t>> FRows;
    mutable bool FRowsStale = false;
    // No queued item comes before this row.
    mutable size_t FQueuedFrom = 0;
    std::array<int, 5> FCounts{};
    std::unordered_map<int, int> FPendingByBatch;
    TTotals FTotals;
    int FLastId = 0;
    int FLastBatch = 0;
    QString FLastReason;
};
