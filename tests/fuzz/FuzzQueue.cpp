// The transfer queue driven by any sequence of what the window and the
// workers do to it, sizes and progress anything a server may state: its
// totals always equal a count made afresh, and read as a person reads them.
#include "ByteUnits.h"
#include "FuzzInput.h"
#include "TransferQueue.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

void Check(const TTransferQueue &queue, double speed)
{
    TTransferQueue::TTotals counted;
    for (const TTransferItem &item : queue.Items()) {
        if (item.State != TTransferState::Queued && item.State != TTransferState::Transferring)
            continue;
        ++counted.Pending;
        if (item.Size >= 0) {
            counted.Bytes += item.Size;
            counted.Done += item.Done < item.Size ? item.Done : item.Size;
        }
    }
    const TTransferQueue::TTotals &kept = queue.Totals();
    if (kept.Pending != counted.Pending || kept.Bytes != counted.Bytes || kept.Done != counted.Done)
        __builtin_trap();
    const int percent = kept.Percent();
    if (percent < 0 || percent > 100 || kept.BytesShown() < 0 || kept.LeftShown() < 0)
        __builtin_trap();
    if (ByteText(kept.BytesShown()).isEmpty() || RateText(speed).isEmpty())
        __builtin_trap();
    (void)TimeLeftText(kept.LeftShown(), speed);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    TInput input(data, size);
    TTransferQueue queue;
    const auto pick = [&queue, &input]() -> int {
        const auto &items = queue.Items();
        return items.empty() ? 0 : items[input.Byte() % items.size()].Id;
    };
    while (!input.Empty()) {
        double speed = double(input.Number());
        switch (input.Byte() % 8) {
        case 0: {
            TTransferItem item;
            item.Size = input.Number();
            queue.Add(item);
            break;
        }
        case 1:
            queue.SetSize(pick(), input.Number());
            break;
        case 2:
            queue.SetProgress(pick(), input.Number(), speed);
            break;
        case 3:
            queue.Apply(pick(), TTransferEvent(input.Byte() % 6));
            break;
        case 4:
            queue.RetryFailed();
            break;
        case 5:
            queue.ClearFinished();
            break;
        case 6:
            (input.Byte() & 1) ? queue.MoveUp(pick()) : queue.MoveDown(pick());
            break;
        default: {
            std::vector<TTransferItem> more(input.Byte() % 4);
            for (TTransferItem &item : more)
                item.Size = input.Number();
            queue.InsertAfter(pick(), std::move(more));
            break;
        }
        }
        Check(queue, speed);
    }
    return 0;
}
