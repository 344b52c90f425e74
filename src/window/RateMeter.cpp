#include "RateMeter.h"

double TRateMeter::Add(int64_t ms, int64_t bytes)
{
    if (FSamples.empty())
        FSamples.emplace_back(0, 0);  // the start
    FSamples.emplace_back(ms, bytes);
    while (FSamples.size() > 2 && ms - FSamples[1].first >= Window)
        FSamples.pop_front();
    const auto &[since, from] = FSamples.front();
    // Less than a quarter second says nothing yet.
    if (ms - since < 250)
        return 0;
    return double(bytes - from) * 1000.0 / double(ms - since);
}
