// Reads a legacy INI file the way its Windows writer expects it to be read:
// section and key names compare without regard to letter case, blanks around
// names and values are dropped, one pair of matching quotes around a value
// is removed, and nothing else is interpreted (commas, percent signs and
// backslashes arrive as written). A missing file reads as empty.
#pragma once

#include <QString>

#include <vector>

class TIniFile {
public:
    explicit TIniFile(const QString &fileName);
    // The same reading of a file's bytes.
    static TIniFile FromBytes(const QByteArray &bytes);

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    // A value that is not a whole 32-bit number (decimal, or hexadecimal
    // with "0x") gives the default.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;

private:
    TIniFile() = default;
    void Parse(const QByteArray &bytes);

    struct Entry {
        QString Section;
        QString Key;
        QString Value;
    };
    const Entry *Find(const QString &section, const QString &key) const;

    std::vector<Entry> FEntries;
};
