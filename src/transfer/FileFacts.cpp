#include "FileFacts.h"

#include "ByteUnits.h"

#include <QLocale>
#include <QStringList>

#include <sys/stat.h>

QDateTime ServerTime(const std::string &time)
{
    QDateTime at = QDateTime::fromString(QString::fromStdString(time.substr(0, 14)), "yyyyMMddHHmmss");
    at.setTimeSpec(Qt::UTC);
    return at.toLocalTime();
}

QString FileFacts(const QString &which, int64_t size, const QDateTime &time)
{
    QStringList facts;
    if (size >= 0)
        facts << ByteText(size);
    if (time.isValid())
        facts << QLocale().toString(time, QLocale::ShortFormat);
    return which + ": " + (facts.isEmpty() ? QStringLiteral("size and date unknown") : facts.join(", "));
}

QString ListingTimeText(int64_t time, int thisYear, int second, bool dateOnly)
{
    if (time < 0)
        return {};
    const int year = int(time / 100000000), month = int(time / 1000000 % 100), day = int(time / 10000 % 100);
    const QTime clock(int(time / 100 % 100), int(time % 100), second >= 0 && second < 60 ? second : 0);
    const QDate date(year, month, day);
    if (!date.isValid())
        return {};
    const QLocale locale;
    // The locale's own order of day and month, with its month names.
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    const bool monthFirst = format.indexOf('M') < format.indexOf('d');
    const QString monthName = locale.monthName(month, QLocale::ShortFormat);
    const QString dayMonth = monthFirst ? monthName + ' ' + QString::number(day) : QString::number(day) + ' ' + monthName;
    const QString when = year != thisYear ? dayMonth + ' ' + QString::number(year) : dayMonth;
    if (dateOnly)
        return when;
    // The locale's short time ("13:19", "1:19 PM"), its seconds put in.
    QString clockFormat = locale.timeFormat(QLocale::ShortFormat);
    if (second >= 0 && !clockFormat.contains('s'))
        clockFormat.replace(QStringLiteral("mm"), QStringLiteral("mm:ss"));
    return when + QLatin1Char(' ') + locale.toString(clock, clockFormat);
}

QString LocalFileFacts(const std::string &path)
{
    struct stat info {};
    const bool known = ::stat(path.c_str(), &info) == 0;
    return FileFacts(QStringLiteral("Local file"), known ? int64_t(info.st_size) : -1,
                     known ? QDateTime::fromSecsSinceEpoch(info.st_mtime) : QDateTime());
}
