// A transfer's speed over its last few seconds: steady enough to read and
// to tell the time left by, even from a server that sends in bursts, and
// quick to follow a real change.
#pragma once

#include <cstdint>
#include <deque>
#include <utility>

class TRateMeter {
public:
    // How far back the speed looks (ms).
    static constexpr int64_t Window = 5000;

    void Restart() { FSamples.clear(); }
    // The bytes done so far at `ms` since the start; returns the speed in
    // bytes per second, 0 while there is too little to tell.
    double Add(int64_t ms, int64_t bytes);

private:
    std::deque<std::pair<int64_t, int64_t>> FSamples;
};
