#include "ByteUnits.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

QString ByteText(int64_t bytes)
{
    static const char *const units[] = {"kB", "MB", "GB", "TB", "PB"};
    if (bytes < 1000)
        return QStringLiteral("%1 B").arg(bytes);
    double value = double(bytes);
    int unit = -1;
    // On at 999.5: shown with no decimals, it would read "1000".
    while (value >= 999.5 && unit < 4) {
        value /= 1000.0;
        ++unit;
    }
    // Three figures: "3.21 MB", "32.1 MB", "321 MB".
    const int decimals = value < 9.995 ? 2 : value < 99.95 ? 1 : 0;
    return QLocale().toString(value, 'f', decimals) + ' ' + units[unit];
}

QString RateText(double bytesPerSecond)
{
    // A rate as large as a 64-bit count can say, at most.
    return ByteText(int64_t(std::llround(std::clamp(bytesPerSecond, 0.0, 9.2e18)))) + "/s";
}

namespace {

QString SecondsText(double exact)
{
    // Beyond a century, no one waits: a size no file has, or a stall.
    if (!(exact < 100.0 * 365 * 24 * 3600))
        return {};
    const auto seconds = int64_t(exact);
    if (seconds < 60)
        return QStringLiteral("%1 s").arg(seconds);
    const auto two = [](int64_t value) { return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0')); };
    if (seconds < 3600)
        return QStringLiteral("%1:%2").arg(seconds / 60).arg(two(seconds % 60));
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg(two(seconds / 60 % 60)).arg(two(seconds % 60));
}

}  // namespace

QString TimeLeftText(int64_t bytesLeft, double bytesPerSecond)
{
    if (!(bytesPerSecond > 0) || bytesLeft < 0)
        return {};
    return SecondsText(std::ceil(double(bytesLeft) / bytesPerSecond));
}

QString QueueTimeLeftText(const TQueuePace &pace)
{
    if (pace.BytesLeft < 0 || pace.FilesLeft < 0)
        return {};
    const double elapsed = double(pace.ElapsedMs) / 1000.0;
    if (elapsed < 1 || (pace.BytesDone <= 0 && pace.FilesDone <= 0))
        return TimeLeftText(pace.BytesLeft, pace.Speed);
    double left = -1;
    if (pace.BytesDone > 0)
        left = double(pace.BytesLeft) * elapsed / double(pace.BytesDone);
    else if (pace.Speed > 0)
        left = double(pace.BytesLeft) / pace.Speed;
    if (pace.FilesDone > 0)
        left = std::max(left, double(pace.FilesLeft) * elapsed / double(pace.FilesDone));
    return left < 0 ? QString() : SecondsText(std::ceil(left));
}
