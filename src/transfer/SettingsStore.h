// The per-user settings store: one INI file of organisation "Tarnwick" and
// application "Veldra" in the user's config folder, read and written through
// typed calls. The file holds passwords in plain text, so it is kept
// readable by its owner alone.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QSettings;

// A value of the wrong kind, or a value that cannot be written.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Values as the file keeps them, each as text, by name; `Order` names
// them in the order they were written, which a save keeps.
struct TSettingsValues {
    std::map<QString, QString> Values;
    std::vector<QString> Order;
    bool operator==(const TSettingsValues &other) const { return Values == other.Values; }
    const QString *Find(const QString &name) const
    {
        const auto found = Values.find(name);
        return found == Values.end() ? nullptr : &found->second;
    }
};

class TSettingsStore {
public:
    ~TSettingsStore();

    // The store for reading, or nothing when it does not exist (nothing is
    // created).
    static std::unique_ptr<TSettingsStore> OpenForReading();
    // The store for writing, created when missing.
    static std::unique_ptr<TSettingsStore> OpenForWriting();
    // A store in memory: what a save would write, gathered to be compared
    // with what was written before.
    static std::unique_ptr<TSettingsStore> InMemory();
    // Where the store lives.
    static QString FileName();
    // Everything the file holds now ("" values when there is none).
    static TSettingsValues ReadFile();
    // Under a lock every Veldra takes for it: reads the file as it is now,
    // lets `merge` make what it is to hold, and writes what differs, the
    // whole file at once (a crash leaves the old file or the new one).
    // Returns what it holds then; raises "Failed to set data for '<name>'"
    // for the first value that could not be written.
    static TSettingsValues Update(const std::function<TSettingsValues(const TSettingsValues &now)> &merge);

    // What a store in memory holds.
    const TSettingsValues &Values() const { return *FMemory; }

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
    explicit TSettingsStore(bool forWriting, bool inMemory = false);
    void CheckWritable(const QString &name);
    void Put(const QString &name, const QString &value);

    std::unique_ptr<QSettings> FSettings;
    std::unique_ptr<TSettingsValues> FMemory;
    bool FForWriting;
    bool FWritable = false;
};
