// A speed limit that the transfers of one direction share: each takes its
// bytes from one allowance, which fills at the limit's rate, and waits
// while it is spent. The limit may change, or go, while they run.
#pragma once

#include "IdStream.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

class TSpeedLimit {
public:
    // Bytes per second; 0: no limit.
    void Set(int64_t bytesPerSecond);
    int64_t Get() const { return FRate; }
    // Any thread: returns once `bytes` may pass, or `stop` is set.
    void Take(int64_t bytes, const std::atomic<bool> &stop);

private:
    using TClock = std::chrono::steady_clock;
    std::atomic<int64_t> FRate{0};
    std::mutex FMutex;
    // What may pass now; below zero, what was let through ahead.
    double FAllowance = 0;
    TClock::time_point FFilled = TClock::now();
};

// A stream whose reads and writes pass at the limit's pace; the position
// is the inner stream's.
class TLimitedStream : public TStream {
public:
    TLimitedStream(TStream &inner, TSpeedLimit &limit, const std::atomic<bool> &stop);
    int64_t Read(void *buffer, int64_t count) override;
    int64_t Write(const void *buffer, int64_t count) override;
    int64_t Size() const override { return FInner.Size(); }
    void SetSize(int64_t size) override;
    void SetPosition(int64_t position) override;

private:
    TStream &FInner;
    TSpeedLimit &FLimit;
    const std::atomic<bool> &FStop;
};
