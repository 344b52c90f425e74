// Small helpers about the running program's own file.
#pragma once

#include <QString>

// The running executable's full path.
QString ProgramFile();
// Its folder, with no trailing slash.
QString ProgramFolder();
// The folder part of a path ("" when it has none).
QString ExtractFilePath(const QString &path);
