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
