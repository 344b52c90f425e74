#include "QueueKeeper.h"

#include <algorithm>
#include <limits>

TQueueKeeper::TQueueKeeper(TTransferQueue &queue, std::unique_ptr<TQueueJournal> journal,
                           std::function<void(const QString &)> log)
    : FQueue(queue), FJournal(std::move(journal)), FLog(std::move(log))
{
    FTimer.setSingleShot(true);
    connect(&FTimer, &QTimer::timeout, this, [this] {
        if (Write(MostPerWrite) && FQueue.ChangesWaiting())
            FTimer.start(0);
    });
    FQueue.FollowChanges();
    FQueue.OnChangeWaiting = [this] {
        if (!FTimer.isActive())
            FTimer.start(Delay);
    };
    // What was queued before the journal came.
    for (const TTransferItem &item : FQueue.Items())
        FUnwritten.push_back(item.Id);
    if (!FUnwritten.empty())
        FTimer.start(Delay);
}

TQueueKeeper::~TQueueKeeper()
{
    // A clean end leaves the journal as the queue is: a row of an item
    // that ended a moment ago would be offered again.
    Flush();
    FQueue.OnChangeWaiting = nullptr;
}

bool TQueueKeeper::Write(size_t most, bool dropTaken)
{
    std::vector<int> ids = FQueue.TakeChanges(most);
    ids.insert(ids.end(), FUnwritten.begin(), FUnwritten.end());
    FUnwritten.clear();
    std::vector<const TTransferItem *> kept;
    std::vector<int> gone;
    for (const int id : ids) {
        const TTransferItem *item = FQueue.Find(id);
        // Failed ones too, to be tried again. A deletion is asked for anew,
        // never taken up again unasked.
        if (item &&
            (item->State == TTransferState::Queued || item->State == TTransferState::Transferring ||
             item->State == TTransferState::Failed) &&
            item->Direction != TTransferDirection::Delete && !item->Site.isEmpty())
            kept.push_back(item);
        else
            gone.push_back(id);
    }
    try {
        FJournal->Write(kept, gone, dropTaken);
        FFailure.clear();
        return true;
    } catch (const std::exception &error) {
        FUnwritten = std::move(ids);
        Failed(error);
        FTimer.start(RetryDelay);
        return false;
    }
}

void TQueueKeeper::Failed(const std::exception &error)
{
    const QString text = QString::fromUtf8(error.what());
    if (text != FFailure)
        FLog(text + " The queue goes on, kept in memory only, until the journal can be written again.");
    FFailure = text;
}

bool TQueueKeeper::Flush(bool dropTaken)
{
    FTimer.stop();
    if (dropTaken)
        return Write(std::numeric_limits<size_t>::max(), true);
    while (FQueue.ChangesWaiting() || !FUnwritten.empty())
        if (!Write(MostPerWrite))
            return false;
    return true;
}

void TQueueKeeper::SetAside()
{
    if (!Flush())
        return;
    try {
        FJournal->SetAside();
    } catch (const std::exception &error) {
        Failed(error);
    }
}

size_t TQueueKeeper::Left(const QString &site)
{
    try {
        return FJournal->Left(site);
    } catch (const std::exception &error) {
        Failed(error);
        return 0;
    }
}

std::vector<TTransferItem> TQueueKeeper::Take(const QString &site)
{
    try {
        return FJournal->Take(site);
    } catch (const std::exception &error) {
        Failed(error);
        return {};
    }
}
