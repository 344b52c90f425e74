// Small helpers: the running program's own file, and text from bytes.
#pragma once

#include "NameBytes.h"

#include <QString>

// The running executable's full path.
QString ProgramFile();
// Its folder, with no trailing slash.
QString ProgramFolder();
// The folder part of a path ("" when it has none).
QString ExtractFilePath(const QString &path);
