// The per-user settings store: one INI file of organisation "Tarnwick" and
// application "Veldra" in the user's config folder, read and written through
// typed calls. The file holds passwords in plain text, so it is kept
// readable by its owner alone.
#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <stdexcept>
#include <string>

class QSettings;

// A value of the wrong kind, or a value that cannot be written.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class TSettingsStore {
public:
    ~TSettingsStore();

    // The store for reading, or nothing when it does not exist (nothing is
    // created).
    static std::unique_ptr<TSettingsStore> OpenForReading();
    // The store for writing, created when missing.
    static std::unique_ptr<TSettingsStore> OpenForWriting();
    // Where the store lives.
    static QString FileName();

    bool ValueExists(const QString &name) const;
    // The names of the values in a group ("Certificates"), without it.
    QStringList ValueNames(const QString &group) const;
    QString ReadString(const QString &name, const QString &defaultValue) const;
    // Raises "Invalid data type for '<name>'" when the value is no 32-bit
    // integer.
    int ReadInteger(const QString &name, int defaultValue) const;
    // Bytes (a local path, a remote name) kept as text: percent-encoded,
    // "/" and blanks as they are.
    std::string ReadBytes(const QString &name) const;

    // Raise "Failed to set data for '<name>'" when the store cannot be written.
    void WriteString(const QString &name, const QString &value);
    void WriteInteger(const QString &name, int value);
    void WriteBytes(const QString &name, const std::string &bytes);
    // Removes a value; nothing happens when there is none.
    void DeleteValue(const QString &name);

    // Writes everything out; raises like the writes when that fails.
    void Close();

private:
    explicit TSettingsStore(bool forWriting);
    void CheckWritable(const QString &name);

    std::unique_ptr<QSettings> FSettings;
    bool FForWriting;
    bool FWritable = false;
};
