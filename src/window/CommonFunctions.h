// Small helpers: the running program's own file, and text from bytes.
#pragma once

#include <QByteArrayView>
#include <QString>

// The running executable's full path.
QString ProgramFile();
// Its folder, with no trailing slash.
QString ProgramFolder();
// The folder part of a path ("" when it has none).
QString ExtractFilePath(const QString &path);

// Bytes as text: UTF-8 when they are valid UTF-8, else Latin-1, so every
// byte shows as something.
QString TextFromBytes(QByteArrayView bytes);
