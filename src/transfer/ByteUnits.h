// Sizes, speeds and times as a person reads them: decimal units as the
// desktop's file manager shows them ("3.2 MB", "12.4 MB/s"), and a time
// left as "45 s", "3:05" or "1:02:03".
#pragma once

#include <QString>

#include <cstdint>

QString ByteText(int64_t bytes);
QString RateText(double bytesPerSecond);
// Nothing for a time that cannot be told (no speed yet).
QString TimeLeftText(int64_t bytesLeft, double bytesPerSecond);

// How a queue has gone since it began, to tell its time left by.
struct TQueuePace {
    int64_t ElapsedMs = 0;
    int64_t FilesDone = 0, FilesLeft = 0;
    int64_t BytesDone = 0, BytesLeft = 0;
    double Speed = 0;  // bytes a second, now
};
// The time the rest takes at the queue's own pace: by its bytes, and by
// its files, each of which costs round trips whatever its size (which
// tells on small files); the longer of the two. Until a second has gone
// by, the speed now tells; nothing while nothing can.
QString QueueTimeLeftText(const TQueuePace &pace);
