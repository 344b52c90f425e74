// How a file's size and date read to the user: in the overwrite question
// and in the remote list's details, dates in the user's locale.
#pragma once

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <string>

// An MDTM time, "YYYYMMDDhhmmss" in UTC, as a local time; invalid when the
// server gave none.
QDateTime ServerTime(const std::string &time);

// "Local file: 12.3 kB, 8 Dec 2026 10:14", with what is known of it.
QString FileFacts(const QString &which, int64_t size, const QDateTime &time);
// The same of a local file ("Local file: ..."), as it is now.
QString LocalFileFacts(const std::string &path);

// A listing's time, YYYYMMDDhhmm, as a date in the locale's order and
// month names, with the year outside `thisYear`, and the time of day as
// far as the listing gave it: to the second (`second`), to the minute, or
// none (`dateOnly`): "8 Dec 13:19:46", "3 Mar 2019 10:14", "3 Mar 2019".
// Never a second the listing did not give. Empty when unknown (-1).
QString ListingTimeText(int64_t time, int thisYear, int second = -1, bool dateOnly = false);
