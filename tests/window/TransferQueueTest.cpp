// The transfer queue's rules: which event leads where, the order of the
// queued items, and what the totals count. Byte counts and times as shown.
#include "ByteUnits.h"
#include "RateMeter.h"
#include "TransferQueue.h"

#include <gtest/gtest.h>

#include <QLocale>

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
    EXPECT_EQ(totals.Bytes, 100);
    EXPECT_EQ(totals.Done, 40);

    FQueue.Apply(a, E::Fail, "cut");
    FQueue.SetProgress(a, 90, 1.0);  // a late report of an ended item
    EXPECT_EQ(FQueue.Find(a)->Done, 40);
    FQueue.RetryFailed();
    EXPECT_EQ(FQueue.Find(a)->State, S::Queued);
    EXPECT_EQ(FQueue.Find(a)->Done, 0) << "a retry starts afresh";
    FQueue.ClearFinished();
    EXPECT_EQ(Names(), (std::vector<std::string>{"a", "c"}));
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
}

// A server that sends each second's bytes at once, seen every 250 ms:
// the speed reads steady, and follows when the rate halves.
TEST(RateMeter, ReadsABurstyTransferSteadilyAndFollowsAChange)
{
    TRateMeter meter;
    EXPECT_EQ(meter.Add(100, 3'000'000), 0) << "too early to tell";
    int64_t bytes = 3'000'000;
    double speed = 0;
    for (int64_t ms = 250; ms <= 10'000; ms += 250) {
        if (ms % 1000 == 0)
            bytes += ms <= 6000 ? 3'000'000 : 1'500'000;
        speed = meter.Add(ms, bytes);
        if (ms >= 5000 && ms <= 6000)
            EXPECT_NEAR(speed, 3e6, 0.75e6) << ms;
    }
    EXPECT_NEAR(speed, 1.5e6, 0.4e6);
    meter.Restart();
    EXPECT_EQ(meter.Add(100, 0), 0);
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

}  // namespace
