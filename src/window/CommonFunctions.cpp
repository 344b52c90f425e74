#include "CommonFunctions.h"

#include <QFileInfo>

QString ProgramFile()
{
    return QFileInfo("/proc/self/exe").symLinkTarget();
}

QString ProgramFolder()
{
    return ExtractFilePath(ProgramFile());
}

QString ExtractFilePath(const QString &path)
{
    const auto slash = path.lastIndexOf('/');
    if (slash < 0)
        return {};
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}
