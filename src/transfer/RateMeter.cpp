#include "RateMeter.h"

#include <cstddef>

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
    const double plain = double(bytes - from) * 1000.0 / double(ms - since);

    // A server that sends in bursts (a rate limit, a congested link) makes
    // the plain average swing with how many bursts the window holds. From
    // the first sample that saw new bytes to the last one, the window holds
    // whole bursts.
    std::size_t first = 0, last = 0, changes = 0;
    for (std::size_t i = 1; i < FSamples.size(); ++i)
        if (FSamples[i].second != FSamples[i - 1].second) {
            first = first ? first : i;
            last = i;
            ++changes;
        }
    if (changes < 2)
        return plain;
    const int64_t span = FSamples[last].first - FSamples[first].first;
    // A silence longer than twice the usual gap is a slowing down, which
    // the plain average tells.
    if (ms - FSamples[last].first > 2 * span / int64_t(changes - 1))
        return plain;
    return double(FSamples[last].second - FSamples[first].second) * 1000.0 / double(span);
}
