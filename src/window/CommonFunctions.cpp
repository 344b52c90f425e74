#include "CommonFunctions.h"

#include "IdLocalPath.h"

#include <QFile>
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
    return QFile::decodeName(QByteArray::fromStdString(LocalPath::FolderPart(QFile::encodeName(path).toStdString())));
}
