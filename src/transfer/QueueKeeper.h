// The queue kept in its journal as it changes: the changes of a moment
// are written as one group, within a second, and a million queued at once
// are written a bounded number at a time, so that the window is never
// held long. A journal that cannot be written is said once and tried
// again; the queue goes on meanwhile.
#pragma once

#include "QueueJournal.h"
#include "TransferQueue.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

class TQueueKeeper : public QObject {
public:
    TQueueKeeper(TTransferQueue &queue, std::unique_ptr<TQueueJournal> journal,
                 std::function<void(const QString &)> log);
    ~TQueueKeeper() override;

    // How long changes gather before they are written (ms), and how long
    // a journal that failed rests.
    static constexpr int Delay = 250;
    static constexpr int RetryDelay = 5000;
    // The most changes one write takes: a few dozen milliseconds of it.
    size_t MostPerWrite = 20'000;

    // Every change written now; false when the journal failed.
    // `dropTaken`: in one transaction, with the end of the rows taken.
    bool Flush(bool dropTaken = false);
    // This run's unfinished items (queued, running, failed) set aside, as
    // they are now.
    void SetAside();
    // What runs that ended left for a site, and taking it.
    size_t Left(const QString &site);
    std::vector<TTransferItem> Take(const QString &site);

    TQueueJournal &Journal() { return *FJournal; }

private:
    bool Write(size_t most, bool dropTaken = false);
    // Tells a failure once, until the journal works again.
    void Failed(const std::exception &error);

    TTransferQueue &FQueue;
    std::unique_ptr<TQueueJournal> FJournal;
    std::function<void(const QString &)> FLog;
    QTimer FTimer;
    // Changes taken whose write failed: written with the next.
    std::vector<int> FUnwritten;
    QString FFailure;
};
