#include "NameBytes.h"

#include <QStringDecoder>

QString TextFromBytes(QByteArrayView bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    return utf8.hasError() ? QString::fromLatin1(bytes) : text;
}

QUrl FileUrlFromBytes(const std::string &path)
{
    const QByteArray bytes(path.data(), qsizetype(path.size()));
    return QUrl::fromEncoded("file://" + bytes.toPercentEncoding("/"));
}
