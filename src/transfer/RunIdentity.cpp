#include "RunIdentity.h"

#include <QFile>
#include <QStringList>

#include <unistd.h>

namespace {

// The 22nd field of /proc/<pid>/stat; the second, the command's name, may
// hold blanks and parentheses, so the count starts after its last ')'.
QString StartTime(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return {};
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    if (close < 0)
        return {};
    const QList<QByteArray> fields = line.mid(close + 2).split(' ');
    // After the name: state (3rd field) is fields[0], start time fields[19].
    return fields.size() > 19 ? QString::fromLatin1(fields[19]) : QString();
}

}  // namespace

namespace RunIdentity {

QString ThisRun()
{
    static const QString run = Of(::getpid());
    return run;
}

QString Of(qint64 pid)
{
    const QString started = StartTime(pid);
    return started.isEmpty() ? QString() : QStringLiteral("%1:%2").arg(pid).arg(started);
}

bool Alive(const QString &run)
{
    const qsizetype colon = run.indexOf(':');
    bool number = false;
    const qint64 pid = run.left(colon).toLongLong(&number);
    if (colon <= 0 || !number || pid <= 0)
        return false;
    const QString started = StartTime(pid);
    return !started.isEmpty() && started == run.mid(colon + 1);
}

}  // namespace RunIdentity
