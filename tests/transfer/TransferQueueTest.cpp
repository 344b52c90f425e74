// The transfer queue's rules: which event leads where, the order of the
// queued items, and what the totals count. Byte counts and times as shown.
#include "ByteUnits.h"
#include "RateMeter.h"
#include "TransferQueue.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <limits>

namespace {

using S = TTransferState;
using E = TTransferEvent;

TEST(TransferQueue, EventsLeadOnlyWhereTheTableSays)
{
    // Every state against every event: where it leads, or nowhere.
    const std::optional<S> nowhere;
    struct Row {
        S From;
        std::optional<S> Start, Finish, Fail, Cancel, Retry, Interrupt;
    };
    const Row rows[] = {
        {S::Queued, S::Transferring, nowhere, nowhere, S::Cancelled, nowhere, nowhere},
        {S::Transferring, nowhere, S::Done, S::Failed, S::Cancelled, nowhere, S::Queued},
        {S::Done, nowhere, nowhere, nowhere, nowhere, nowhere, nowhere},
        {S::Failed, nowhere, nowhere, nowhere, S::Cancelled, S::Queued, nowhere},
        {S::Cancelled, nowhere, nowhere, nowhere, nowhere, S::Queued, nowhere},
    };
    for (const Row &row : rows) {
        const std::pair<E, std::optional<S>> cells[] = {{E::Start, row.Start},   {E::Finish, row.Finish},
                                                        {E::Fail, row.Fail},     {E::Cancel, row.Cancel},
                                                        {E::Retry, row.Retry},   {E::Interrupt, row.Interrupt}};
        for (const auto &[event, to] : cells)
            EXPECT_EQ(TTransferQueue::Next(row.From, event), to) << int(row.From) << " by " << int(event);
    }
}

class QueueOrder : public ::testing::Test {
protected:
    int Add(const std::string &name, int64_t size = -1)
    {
        TTransferItem item;
        item.RemoteName = name;
        item.Size = size;
        return FQueue.Add(item);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const TTransferItem &item : FQueue.Items())
            names.push_back(item.RemoteName);
        return names;
    }
    TTransferQueue FQueue;
};

TEST_F(QueueOrder, QueuedItemsMoveAmongThemselvesOnly)
{
    const int a = Add("a"), b = Add("b"), c = Add("c"), d = Add("d");
    ASSERT_TRUE(FQueue.Apply(a, E::Start));
    ASSERT_TRUE(FQueue.Apply(c, E::Start));
    ASSERT_TRUE(FQueue.Apply(c, E::Fail, "gone"));

    EXPECT_FALSE(FQueue.MoveUp(b)) << "no queued item above b";
    EXPECT_FALSE(FQueue.MoveUp(a)) << "a running item keeps its place";
    EXPECT_TRUE(FQueue.MoveUp(d));  // past the failed c
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "d", "c", "b"}));
    EXPECT_FALSE(FQueue.MoveDown(b));
    EXPECT_EQ(FQueue.NextQueued()->RemoteName, "d");

    // A refused event changes nothing, not even the reason.
    EXPECT_FALSE(FQueue.Apply(c, E::Finish, "other"));
    EXPECT_EQ(FQueue.Find(c)->Reason, "gone");
}

TEST_F(QueueOrder, RetryClearAndTotalsCountWhatIsLeft)
{
    const int a = Add("a", 100), b = Add("b", 50), c = Add("c"), d = Add("d", 10);
    FQueue.Apply(a, E::Start);
    FQueue.SetProgress(a, 40, 1.0);
    FQueue.Apply(b, E::Start);
    FQueue.SetProgress(b, 50, 1.0);
    FQueue.Apply(b, E::Finish);
    FQueue.Apply(d, E::Cancel);

    // Running a (40 of 100) and queued c, whose size is not known yet.
    const TTransferQueue::TTotals totals = FQueue.Totals();
    EXPECT_EQ(totals.Pending, 2);
    EXPECT_EQ(totals.BytesShown(), 100);
    EXPECT_EQ(totals.DoneShown(), 40);

    // A reason built piece by piece keeps no room to grow: a million
    // failures keep their words only.
    QString reason = QStringLiteral("cut");
    reason.reserve(1000);
    FQueue.Apply(a, E::Fail, reason);
    EXPECT_EQ(FQueue.Find(a)->Reason.capacity(), FQueue.Find(a)->Reason.size());
    FQueue.Apply(c, E::Start);
    FQueue.Apply(c, E::Fail, QStringLiteral("cu") + 't');
    EXPECT_TRUE(FQueue.Find(c)->Reason.isSharedWith(FQueue.Find(a)->Reason)) << "the same words, once";
    FQueue.Apply(c, E::Retry);
    FQueue.SetProgress(a, 90, 1.0);  // a late report of an ended item
    EXPECT_EQ(FQueue.Find(a)->Done, 40);
    FQueue.RetryFailed();
    EXPECT_EQ(FQueue.Find(a)->State, S::Queued);
    EXPECT_EQ(FQueue.Find(a)->Done, 0) << "a retry starts afresh";
    FQueue.ClearFinished();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "c"}));

    // The totals follow every change, the retry's fresh start included.
    FQueue.SetSize(c, 30);
    FQueue.Apply(c, E::Start);
    FQueue.SetProgress(c, 10, 1.0);
    const TTransferQueue::TTotals later = FQueue.Totals();
    EXPECT_EQ(std::tuple(later.Pending, later.BytesShown(), later.DoneShown()), std::tuple(2, int64_t(130), int64_t(10)));
}

// A listing may state any 64-bit size: two of the largest, and their
// progress, are summed exactly, and read as the largest count there is.
TEST_F(QueueOrder, TotalsOfTheLargestSizesNeverOverflow)
{
    constexpr int64_t largest = std::numeric_limits<int64_t>::max();
    const int a = Add("a", largest), b = Add("b", largest);
    FQueue.Apply(a, E::Start);
    FQueue.SetProgress(a, largest - 1, 1e300);
    const TTransferQueue::TTotals totals = FQueue.Totals();
    EXPECT_TRUE(totals.Bytes == __int128(largest) * 2);
    EXPECT_TRUE(totals.Done == largest - 1);
    EXPECT_EQ(totals.BytesShown(), largest);
    EXPECT_EQ(totals.Percent(), 49);
    EXPECT_EQ(TimeLeftText(totals.LeftShown(), 1e-3), "") << "no one waits a century";
    EXPECT_FALSE(RateText(1e300).isEmpty());
    FQueue.Apply(a, E::Finish);
    FQueue.Apply(b, E::Cancel);
    EXPECT_TRUE(FQueue.Totals().Bytes == 0 && FQueue.Totals().Done == 0);
}

TEST_F(QueueOrder, ABatchEndsWhenNoneOfItsItemsIsPending)
{
    const int batch = FQueue.NewBatch();
    TTransferItem item;
    item.Batch = batch;
    const int a = FQueue.Add(item), b = FQueue.Add(item);
    FQueue.Apply(a, E::Start);
    FQueue.Apply(a, E::Fail);
    EXPECT_FALSE(FQueue.BatchEnded(batch));
    FQueue.Apply(b, E::Cancel);
    EXPECT_TRUE(FQueue.BatchEnded(batch));
    EXPECT_EQ(FQueue.BatchSummary(batch), "0 of 2 files transferred; 1 failed, 1 cancelled.");

    // What the batch held, told as it ended; a folder's own row no file.
    const struct {
        std::vector<E> Ends;
        const char *Said;
    } cases[] = {
        {{E::Finish, E::Finish}, "Transfer of selected files complete."},
        {{E::Finish, E::Fail, E::Finish, E::Cancel}, "2 of 4 files transferred; 1 failed, 1 cancelled."},
        {{E::Fail}, "0 of 1 file transferred; 1 failed."},
    };
    for (const auto &c : cases) {
        const int next = FQueue.NewBatch();
        TTransferItem folder;
        folder.Batch = next;
        folder.Folder = true;
        FQueue.Add(folder);
        for (const E end : c.Ends) {
            TTransferItem file;
            file.Batch = next;
            const int id = FQueue.Add(file);
            if (end != E::Cancel)
                FQueue.Apply(id, E::Start);
            FQueue.Apply(id, end);
        }
        EXPECT_EQ(FQueue.BatchSummary(next), c.Said);
    }
}

// Seen every 250 ms: a server that sends 3 MB/s in bursts, each second or
// every other second, reads 3 MB/s however many bursts the last seconds
// hold; a smooth stream that stops falls to nothing.
TEST(RateMeter, ReadsBurstsSteadilyAndFollowsAStall)
{
    for (const int64_t period : {1000, 2000}) {
        TRateMeter meter;
        int64_t bytes = 0;
        for (int64_t ms = 250; ms <= 20'000; ms += 250) {
            bytes += ms % period == 0 ? 3000 * period : 0;
            const double speed = meter.Add(ms, bytes);
            if (ms > period * 2) {
                EXPECT_DOUBLE_EQ(speed, 3e6) << "every " << period << " ms, at " << ms;
            }
        }
    }
    EXPECT_EQ(TRateMeter().Add(100, 50), 0) << "too early to tell";
    TRateMeter meter;
    int64_t bytes = 0;
    std::vector<double> speeds;
    for (int64_t ms = 250; ms <= 16'000; ms += 250) {
        bytes += ms <= 8000 ? 750'000 : 0;
        if (ms % 2000 == 0)
            speeds.push_back(meter.Add(ms, bytes) / 1e6);
        else
            meter.Add(ms, bytes);
    }
    EXPECT_EQ(speeds, (std::vector<double>{3.0, 3.0, 3.0, 3.0, 1.8, 0.6, 0, 0}));
}

TEST(ByteUnits, SizesRatesAndTimesReadAsAPersonReadsThem)
{
    QLocale::setDefault(QLocale::c());
    const std::pair<int64_t, QString> sizes[] = {
        {0, "0 B"},           {999, "999 B"},         {1000, "1.00 kB"},       {12'345, "12.3 kB"},
        {999'499, "999 kB"}, {999'500, "1.00 MB"}, {4'294'967'296, "4.29 GB"}, {123'456'789, "123 MB"},
    };
    for (const auto &[bytes, text] : sizes)
        EXPECT_EQ(ByteText(bytes), text) << bytes;
    EXPECT_EQ(RateText(12'400'000), "12.4 MB/s");
    EXPECT_EQ(RateText(-3), "0 B/s");

    const std::tuple<int64_t, double, QString> times[] = {
        {100, 0, ""},        {100, 1000, "1 s"},      {59'000, 1000, "59 s"},
        {185'000, 1000, "3:05"}, {3'723'000, 1000, "1:02:03"},
    };
    for (const auto &[left, rate, text] : times)
        EXPECT_EQ(TimeLeftText(left, rate), text) << left;
}

// A queue's time left at its own pace: small files cost their round trips
// whatever their bytes; large ones go by their bytes.
TEST(ByteUnits, AQueuesTimeLeftGoesByItsPace)
{
    const struct {
        const char *Case;
        TQueuePace Pace;
        QString Left;
    } cases[] = {
        // 25 files of 21 MB, two done in 4 s at a burst of 8.43 MB/s.
        {"small files: by the files", {4000, 2, 23, 1'700'000, 19'300'000, 8.43e6}, "46 s"},
        {"large files: by the bytes", {10'000, 1, 1, 1'000'000'000, 3'000'000'000, 1e8}, "30 s"},
        {"a moment in: the speed now", {500, 0, 3, 1'000, 8'000'000, 1e6}, "8 s"},
        {"nothing moved yet", {5000, 0, 3, 0, 8'000'000, 0}, ""},
        {"none done, bytes moving", {5000, 0, 2, 2'000'000, 8'000'000, 1e6}, "20 s"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(QueueTimeLeftText(c.Pace), c.Left) << c.Case;
}

}  // namespace
