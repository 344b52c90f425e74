// Names are bytes; the user reads them as text. Valid UTF-8 reads as
// UTF-8, anything else as Latin-1, so every byte shows as something, while
// the bytes themselves travel unchanged with the item.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QUrl>

#include <string>

QString TextFromBytes(QByteArrayView bytes);
inline QString TextFromBytes(const std::string &bytes)
{
    return TextFromBytes(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
}

// A file URL of a path's exact bytes, so that names that are not UTF-8
// reach whoever opens it.
QUrl FileUrlFromBytes(const std::string &path);
