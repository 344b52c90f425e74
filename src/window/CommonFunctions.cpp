#include "CommonFunctions.h"

#include <QFileInfo>
#include <QStringDecoder>

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

QString TextFromBytes(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}
