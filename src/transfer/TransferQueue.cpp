#include "TransferQueue.h"

#include <QStringList>

#include <algorithm>
#include <utility>

namespace {

using S = TTransferState;
using E = TTransferEvent;

struct TTransition {
    S From;
    E Event;
    S To;
};

constexpr TTransition Transitions[] = {
    {S::Queued, E::Start, S::Transferring},    {S::Queued, E::Cancel, S::Cancelled},
    {S::Transferring, E::Finish, S::Done},     {S::Transferring, E::Fail, S::Failed},
    {S::Transferring, E::Cancel, S::Cancelled}, {S::Transferring, E::Interrupt, S::Queued},
    {S::Failed, E::Retry, S::Queued},          {S::Failed, E::Cancel, S::Cancelled},
    {S::Cancelled, E::Retry, S::Queued},
};

bool Pending(const TTransferItem &item)
{
    return item.State == S::Queued || item.State == S::Transferring;
}

// What may still be moved: pending, or failed and waiting for a retry.
bool Unfinished(S state)
{
    return state == S::Queued || state == S::Transferring || state == S::Failed;
}

}  // namespace

std::optional<TTransferState> TTransferQueue::Next(TTransferState state, TTransferEvent event)
{
    for (const TTransition &transition : Transitions)
        if (transition.From == state && transition.Event == event)
            return transition.To;
    return std::nullopt;
}

void TTransferQueue::Count(const TTransferItem &item, int step)
{
    ++FRevision;
    FCounts[size_t(item.State)] += step;
    if (!Pending(item))
        return;
    FPendingByBatch[item.Batch] += step;
    FTotals.Pending += step;
    Weigh(item, step);
}

void TTransferQueue::Weigh(const TTransferItem &item, int step)
{
    if (Pending(item) && item.Size >= 0) {
        FTotals.Bytes += __int128(step) * item.Size;
        FTotals.Done += __int128(step) * std::min(item.Done, item.Size);
    }
}

void TTransferQueue::Moved()
{
    ++FRevision;
    FRowsStale = true;
    FQueuedFrom = 0;
}

void TTransferQueue::Follow(int id)
{
    if (!FFollowing)
        return;
    FChanges.push_back(id);
    if (FChanges.size() == 1 && OnChangeWaiting)
        OnChangeWaiting();
}

std::vector<int> TTransferQueue::TakeChanges(size_t most)
{
    const size_t taken = std::min(most, FChanges.size());
    std::vector<int> ids(FChanges.begin(), FChanges.begin() + std::ptrdiff_t(taken));
    FChanges.erase(FChanges.begin(), FChanges.begin() + std::ptrdiff_t(taken));
    // A queue that emptied gives the room back.
    if (FChanges.empty())
        std::vector<int>().swap(FChanges);
    std::sort(ids.begin(), ids.end());
    ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
    return ids;
}

int TTransferQueue::Add(TTransferItem item)
{
    std::vector<TTransferItem> one;
    one.push_back(std::move(item));
    Add(std::move(one));
    return FLastId;
}

void TTransferQueue::Add(std::vector<TTransferItem> items)
{
    for (TTransferItem &item : items) {
        item.Id = ++FLastId;
        item.State = S::Queued;
        item.Done = 0;
        item.Speed = 0;
        Count(item, +1);
        Follow(FLastId);
        FItems.push_back(std::move(item));
        // Ids only grow: the index stays in order.
        if (!FRowsStale)
            FRows.emplace_back(FLastId, uint32_t(FItems.size() - 1));
    }
    if (OnReset)
        OnReset();
}

void TTransferQueue::InsertAfter(int id, std::vector<TTransferItem> items)
{
    auto from = items.begin();
    InsertAfter(id, items.size(), [&](TTransferItem &item) {
        if (from == items.end())
            return false;
        item = std::move(*from++);
        return true;
    });
}

void TTransferQueue::InsertAfter(int id, size_t count, const std::function<bool(TTransferItem &)> &next)
{
    const int row = RowOf(id);
    if (row < 0 || count == 0)
        return;
    const int batch = FItems[size_t(row)].Batch;
    const QString site = FItems[size_t(row)].Site;
    // Made at the end, then turned into place: the queue grows once, and
    // by half at least, so folder after folder does not copy it each time.
    const size_t end = FItems.size();
    if (end + count > FItems.capacity())
        FItems.reserve(std::max(end + count, FItems.capacity() + FItems.capacity() / 2));
    for (TTransferItem item; FItems.size() - end < count && next(item); item = TTransferItem()) {
        item.Id = ++FLastId;
        item.State = S::Queued;
        item.Done = 0;
        item.Speed = 0;
        item.Batch = batch;
        item.Site = site;
        Count(item, +1);
        Follow(FLastId);
        FItems.push_back(std::move(item));
    }
    if (FItems.size() == end)
        return;
    std::rotate(FItems.begin() + row + 1, FItems.begin() + std::ptrdiff_t(end), FItems.end());
    Moved();
    if (OnReset)
        OnReset();
}

const TTransferItem *TTransferQueue::Find(int id) const
{
    const int row = RowOf(id);
    return row < 0 ? nullptr : &FItems[size_t(row)];
}

TTransferItem *TTransferQueue::Item(int id)
{
    return const_cast<TTransferItem *>(std::as_const(*this).Find(id));
}

int TTransferQueue::RowOf(int id) const
{
    if (FRowsStale) {
        // A queue that shrank gives its index's room back too.
        if (FRows.capacity() > 2 * FItems.size() + 1024)
            std::vector<std::pair<int, uint32_t>>().swap(FRows);
        FRows.clear();
        FRows.reserve(FItems.size());
        for (size_t row = 0; row < FItems.size(); ++row)
            FRows.emplace_back(FItems[row].Id, uint32_t(row));
        std::sort(FRows.begin(), FRows.end());
        FRowsStale = false;
    }
    const auto found = std::lower_bound(FRows.begin(), FRows.end(), std::pair<int, uint32_t>(id, 0));
    return found == FRows.end() || found->first != id ? -1 : int(found->second);
}

void TTransferQueue::Changed(int id)
{
    if (OnRowChanged)
        OnRowChanged(RowOf(id));
}

bool TTransferQueue::Apply(int id, TTransferEvent event, const QString &reason)
{
    TTransferItem *item = Item(id);
    if (!item)
        return false;
    const std::optional<TTransferState> next = Next(item->State, event);
    if (!next)
        return false;
    Count(*item, -1);
    if (Unfinished(item->State) != Unfinished(*next))
        Follow(id);
    item->State = *next;
    if (event == E::Retry || event == E::Interrupt) {
        item->Done = 0;
        item->Verified.clear();
    }
    Count(*item, +1);
    if (*next == S::Queued)
        FQueuedFrom = std::min(FQueuedFrom, size_t(RowOf(id)));
    item->Speed = 0;
    // A reason built by appending keeps room to grow, which a million
    // failed items would all hold: each gets a copy as long as its words,
    // and the same words as the last item's share that one's.
    if (reason.isEmpty())
        item->Reason.clear();
    else {
        if (reason != FLastReason)
            FLastReason = QString(reason.constData(), reason.size());
        item->Reason = FLastReason;
    }
    Changed(id);
    return true;
}

void TTransferQueue::SetSize(int id, int64_t size)
{
    if (TTransferItem *item = Item(id)) {
        Weigh(*item, -1);
        item->Size = size;
        Weigh(*item, +1);
        Changed(id);
    }
}

void TTransferQueue::SetTarget(int id, const std::string &target)
{
    if (TTransferItem *item = Item(id)) {
        (item->Direction == TTransferDirection::Download ? item->LocalPath : item->RemoteName) = target;
        ++FRevision;
        Follow(id);
        Changed(id);
    }
}

void TTransferQueue::SetVerified(int id, const QString &algorithm)
{
    if (TTransferItem *item = Item(id)) {
        item->Verified = algorithm;
        Changed(id);
    }
}

void TTransferQueue::SetProgress(int id, int64_t done, double speed)
{
    TTransferItem *item = Item(id);
    if (!item || item->State != S::Transferring)
        return;
    Weigh(*item, -1);
    item->Done = std::max<int64_t>(done, 0);
    Weigh(*item, +1);
    item->Speed = speed;
    Changed(id);
}

const TTransferItem *TTransferQueue::NextQueued(const std::function<bool(int id)> &skip) const
{
    bool held = false;
    for (size_t row = FQueuedFrom; row < FItems.size(); ++row) {
        const TTransferItem &item = FItems[row];
        if (item.State != S::Queued)
            continue;
        if (!held)
            FQueuedFrom = row;  // nothing queued above
        if (!skip || !skip(item.Id))
            return &item;
        held = true;
    }
    if (!held)
        FQueuedFrom = FItems.size();
    return nullptr;
}

bool TTransferQueue::Swap(int id, int step)
{
    const int row = RowOf(id);
    if (row < 0 || FItems[size_t(row)].State != S::Queued)
        return false;
    // The neighbour in that direction among the queued items.
    for (int other = row + step; other >= 0 && other < int(FItems.size()); other += step)
        if (FItems[size_t(other)].State == S::Queued) {
            std::swap(FItems[size_t(row)], FItems[size_t(other)]);
            Moved();
            if (OnReset)
                OnReset();
            return true;
        }
    return false;
}

bool TTransferQueue::MoveUp(int id)
{
    return Swap(id, -1);
}

bool TTransferQueue::MoveDown(int id)
{
    return Swap(id, +1);
}

void TTransferQueue::RetryFailed()
{
    if (Count(S::Failed) == 0)
        return;
    std::vector<int> failed;
    for (const TTransferItem &item : FItems)
        if (item.State == S::Failed)
            failed.push_back(item.Id);
    for (const int id : failed)
        Apply(id, E::Retry);
}

void TTransferQueue::ClearFinished()
{
    const auto gone = std::remove_if(FItems.begin(), FItems.end(), [](const TTransferItem &item) {
        return item.State == S::Done || item.State == S::Cancelled;
    });
    if (gone == FItems.end())
        return;
    FItems.erase(gone, FItems.end());
    FCounts[size_t(S::Done)] = FCounts[size_t(S::Cancelled)] = 0;
    Moved();
    if (OnReset)
        OnReset();
}

QString TTransferQueue::BatchSummary(int batch) const
{
    int total = 0, done = 0, failed = 0, cancelled = 0, skipped = 0;
    for (const TTransferItem &item : FItems) {
        if (item.Batch != batch || item.Folder)
            continue;
        ++total;
        if (item.State == S::Done)
            ++done;
        else if (item.State == S::Failed)
            ++failed;
        else if (item.Reason.startsWith("Skipped"))
            ++skipped;
        else
            ++cancelled;
    }
    if (done == total)
        return QStringLiteral("Transfer of selected files complete.");
    QStringList rest;
    for (const auto &[count, what] : {std::pair{failed, "failed"}, {cancelled, "cancelled"}, {skipped, "skipped"}})
        if (count > 0)
            rest << QStringLiteral("%1 %2").arg(count).arg(QLatin1String(what));
    return QStringLiteral("%1 of %2 file%3 transferred; %4.")
        .arg(done)
        .arg(total)
        .arg(total == 1 ? "" : "s")
        .arg(rest.join(", "));
}

bool TTransferQueue::BatchEnded(int batch) const
{
    const auto found = FPendingByBatch.find(batch);
    return found == FPendingByBatch.end() || found->second == 0;
}


QString TransferStateText(const TTransferItem &item)
{
    switch (item.State) {
    case TTransferState::Queued:
        return QStringLiteral("Queued");
    case TTransferState::Transferring:
        return QStringLiteral("Transferring");
    case TTransferState::Done:
        return item.Verified.isEmpty() ? QStringLiteral("Done") : "Verified (" + item.Verified + ')';
    case TTransferState::Failed:
        return "Failed: " + item.Reason;
    case TTransferState::Cancelled:
        return item.Reason.isEmpty() ? QStringLiteral("Cancelled") : "Cancelled: " + item.Reason;
    }
    return {};
}
