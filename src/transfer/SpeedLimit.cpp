#include "SpeedLimit.h"

#include <algorithm>
#include <thread>

void TSpeedLimit::Set(int64_t bytesPerSecond)
{
    const std::lock_guard lock(FMutex);
    FRate = std::max<int64_t>(0, bytesPerSecond);
    FAllowance = 0;
    FFilled = TClock::now();
}

void TSpeedLimit::Take(int64_t bytes, const std::atomic<bool> &stop)
{
    std::unique_lock lock(FMutex);
    for (;;) {
        const int64_t rate = FRate;
        if (rate <= 0 || stop)
            return;
        const TClock::time_point now = TClock::now();
        // A quarter second's worth at most is saved up: a pause is no
        // licence for a burst past the limit.
        FAllowance = std::min(FAllowance + std::chrono::duration<double>(now - FFilled).count() * double(rate),
                              double(rate) / 4);
        FFilled = now;
        if (FAllowance >= 0) {
            FAllowance -= double(bytes);
            return;
        }
        // Waits in short steps, so that a new limit or a stop is taken
        // soon.
        const double wait = std::min(-FAllowance / double(rate), 0.1);
        lock.unlock();
        std::this_thread::sleep_for(std::chrono::duration<double>(wait));
        lock.lock();
    }
}

TLimitedStream::TLimitedStream(TStream &inner, TSpeedLimit &limit, const std::atomic<bool> &stop)
    : FInner(inner), FLimit(limit), FStop(stop)
{
    FPosition = inner.Position();
}

int64_t TLimitedStream::Read(void *buffer, int64_t count)
{
    const int64_t read = FInner.Read(buffer, count);
    FPosition = FInner.Position();
    FLimit.Take(read, FStop);
    return read;
}

int64_t TLimitedStream::Write(const void *buffer, int64_t count)
{
    FLimit.Take(count, FStop);
    const int64_t written = FInner.Write(buffer, count);
    FPosition = FInner.Position();
    return written;
}

void TLimitedStream::SetSize(int64_t size)
{
    FInner.SetSize(size);
    FPosition = FInner.Position();
}

void TLimitedStream::SetPosition(int64_t position)
{
    FInner.SetPosition(position);
    FPosition = FInner.Position();
}
