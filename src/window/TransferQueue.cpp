#include "TransferQueue.h"

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

}  // namespace

std::optional<TTransferState> TTransferQueue::Next(TTransferState state, TTransferEvent event)
{
    for (const TTransition &transition : Transitions)
        if (transition.From == state && transition.Event == event)
            return transition.To;
    return std::nullopt;
}

int TTransferQueue::Add(TTransferItem item)
{
    item.Id = ++FLastId;
    item.State = S::Queued;
    item.Done = 0;
    item.Speed = 0;
    FItems.push_back(std::move(item));
    if (OnReset)
        OnReset();
    return FLastId;
}

void TTransferQueue::InsertAfter(int id, std::vector<TTransferItem> items)
{
    const int row = RowOf(id);
    if (row < 0 || items.empty())
        return;
    const TTransferItem &parent = FItems[size_t(row)];
    for (TTransferItem &item : items) {
        item.Id = ++FLastId;
        item.State = S::Queued;
        item.Done = 0;
        item.Speed = 0;
        item.Batch = parent.Batch;
        item.Site = parent.Site;
    }
    FItems.insert(FItems.begin() + row + 1, std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
    if (OnReset)
        OnReset();
}

const TTransferItem *TTransferQueue::Find(int id) const
{
    const auto found = std::find_if(FItems.begin(), FItems.end(), [id](const TTransferItem &item) { return item.Id == id; });
    return found == FItems.end() ? nullptr : &*found;
}

TTransferItem *TTransferQueue::Item(int id)
{
    return const_cast<TTransferItem *>(std::as_const(*this).Find(id));
}

int TTransferQueue::RowOf(int id) const
{
    const TTransferItem *item = Find(id);
    return item ? int(item - FItems.data()) : -1;
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
    item->State = *next;
    item->Speed = 0;
    item->Reason = reason;
    if (event == E::Retry || event == E::Interrupt)
        item->Done = 0;
    Changed(id);
    return true;
}

void TTransferQueue::SetSize(int id, int64_t size)
{
    if (TTransferItem *item = Item(id)) {
        item->Size = size;
        Changed(id);
    }
}

void TTransferQueue::SetTarget(int id, const std::string &target)
{
    if (TTransferItem *item = Item(id)) {
        (item->Direction == TTransferDirection::Download ? item->LocalPath : item->RemoteName) = target;
        Changed(id);
    }
}

void TTransferQueue::SetProgress(int id, int64_t done, double speed)
{
    TTransferItem *item = Item(id);
    if (!item || item->State != S::Transferring)
        return;
    item->Done = done;
    item->Speed = speed;
    Changed(id);
}

const TTransferItem *TTransferQueue::NextQueued() const
{
    const auto found =
        std::find_if(FItems.begin(), FItems.end(), [](const TTransferItem &item) { return item.State == S::Queued; });
    return found == FItems.end() ? nullptr : &*found;
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
    for (const TTransferItem &item : std::vector<TTransferItem>(FItems))
        if (item.State == S::Failed)
            Apply(item.Id, E::Retry);
}

void TTransferQueue::ClearFinished()
{
    const auto gone = std::remove_if(FItems.begin(), FItems.end(), [](const TTransferItem &item) {
        return item.State == S::Done || item.State == S::Cancelled;
    });
    if (gone == FItems.end())
        return;
    FItems.erase(gone, FItems.end());
    if (OnReset)
        OnReset();
}

bool TTransferQueue::Active() const
{
    return std::any_of(FItems.begin(), FItems.end(), Pending);
}

bool TTransferQueue::BatchEnded(int batch) const
{
    return std::none_of(FItems.begin(), FItems.end(),
                        [batch](const TTransferItem &item) { return item.Batch == batch && Pending(item); });
}

TTransferQueue::TTotals TTransferQueue::Totals() const
{
    TTotals totals;
    for (const TTransferItem &item : FItems) {
        if (!Pending(item))
            continue;
        ++totals.Pending;
        if (item.Size >= 0) {
            totals.Bytes += item.Size;
            totals.Done += std::min(item.Done, item.Size);
        }
    }
    return totals;
}
