#include "IniFile.h"

#include "NameBytes.h"

#include <QFile>

namespace {

// Files from the old program are often in an 8-bit code page, not UTF-8.
QString Decode(const QByteArray &bytes)
{
    QString text = TextFromBytes(bytes);
    if (text.startsWith(QChar(0xFEFF)))
        text.remove(0, 1);
    return text;
}

QString Unquoted(const QString &value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return value.mid(1, value.size() - 2);
    return value;
}

}  // namespace

TIniFile::TIniFile(const QString &fileName)
{
    QFile file(fileName);
    if (file.open(QIODevice::ReadOnly))
        Parse(file.readAll());
}

TIniFile TIniFile::FromBytes(const QByteArray &bytes)
{
    TIniFile ini;
    ini.Parse(bytes);
    return ini;
}

void TIniFile::Parse(const QByteArray &bytes)
{
    QString section;
    const QString text = Decode(bytes);
    for (QStringView line : QStringView(text).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            const auto close = line.indexOf(u']');
            section = line.mid(1, close < 0 ? -1 : close - 1).trimmed().toString();
            continue;
        }
        const auto equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        FEntries.push_back({section, line.left(equals).trimmed().toString(),
                            Unquoted(line.mid(equals + 1).trimmed().toString())});
    }
}

const TIniFile::Entry *TIniFile::Find(const QString &section, const QString &key) const
{
    for (const Entry &entry : FEntries)
        if (entry.Section.compare(section, Qt::CaseInsensitive) == 0 &&
            entry.Key.compare(key, Qt::CaseInsensitive) == 0)
            return &entry;
    return nullptr;
}

QString TIniFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const Entry *entry = Find(section, key);
    return entry ? entry->Value : defaultValue;
}

int TIniFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    const Entry *entry = Find(section, key);
    if (!entry)
        return defaultValue;
    bool ok = false;
    const QString &value = entry->Value;
    const int number = value.startsWith("0x", Qt::CaseInsensitive) ? value.mid(2).toInt(&ok, 16) : value.toInt(&ok, 10);
    return ok ? number : defaultValue;
}
