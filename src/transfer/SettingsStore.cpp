#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QSettings>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QSettings *NewSettings()
{
    return new QSettings(QSettings::IniFormat, QSettings::UserScope, "Tarnwick", "Veldra");
}

// Creates the file for its owner alone when missing, and narrows an existing
// one; true when it can then be written.
bool PrepareFile(const QString &fileName)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    const QByteArray path = QFile::encodeName(fileName);
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0)
        return false;
    const bool narrowed = ::fchmod(fd, S_IRUSR | S_IWUSR) == 0;
    ::close(fd);
    return narrowed;
}

QString Message(const char *format, const QString &name)
{
    return QString::fromLatin1(format).arg(name);
}

// A value as text: a hand-edited one with an unquoted comma reads back as
// a list.
QString TextOf(const QVariant &value)
{
    return value.typeId() == QMetaType::QStringList ? value.toStringList().join(',') : value.toString();
}

TSettingsValues ValuesOf(const QSettings &settings)
{
    TSettingsValues values;
    for (const QString &name : settings.allKeys()) {
        values.Values[name] = TextOf(settings.value(name));
        values.Order.push_back(name);
    }
    return values;
}

}  // namespace

TSettingsStore::TSettingsStore(bool forWriting, bool inMemory) : FForWriting(forWriting)
{
    if (inMemory) {
        FMemory = std::make_unique<TSettingsValues>();
        FWritable = true;
        return;
    }
    FSettings.reset(NewSettings());
    if (forWriting)
        FWritable = PrepareFile(FSettings->fileName());
}

TSettingsStore::~TSettingsStore()
{
    try {
        if (FForWriting && FWritable && !FMemory)
            Close();
    } catch (...) {
        // Already reported by an explicit Close, or nowhere to report it.
    }
}

QString TSettingsStore::FileName()
{
    return std::unique_ptr<QSettings>(NewSettings())->fileName();
}

std::unique_ptr<TSettingsStore> TSettingsStore::OpenForReading()
{
    if (!QFileInfo::exists(FileName()))
        return nullptr;
    return std::unique_ptr<TSettingsStore>(new TSettingsStore(false));
}

std::unique_ptr<TSettingsStore> TSettingsStore::OpenForWriting()
{
    return std::unique_ptr<TSettingsStore>(new TSettingsStore(true));
}

std::unique_ptr<TSettingsStore> TSettingsStore::InMemory()
{
    return std::unique_ptr<TSettingsStore>(new TSettingsStore(true, true));
}

TSettingsValues TSettingsStore::ReadFile()
{
    if (!QFileInfo::exists(FileName()))
        return {};
    const std::unique_ptr<QSettings> settings(NewSettings());
    return ValuesOf(*settings);
}

TSettingsValues TSettingsStore::Update(const std::function<TSettingsValues(const TSettingsValues &now)> &merge)
{
    const QString fileName = FileName();
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    // Not the lock QSettings takes while it writes: this one spans the
    // reading, the merge and the writing, which QSettings' own does not.
    QLockFile lock(fileName + ".update-lock");
    lock.setStaleLockTime(10000);
    lock.lock();
    const std::unique_ptr<QSettings> settings(NewSettings());
    const TSettingsValues now = QFileInfo::exists(fileName) ? ValuesOf(*settings) : TSettingsValues{};
    TSettingsValues result = merge(now);
    std::vector<QString> changed;
    for (const QString &name : result.Order)
        if (const QString *value = now.Find(name); !value || *value != result.Values.at(name))
            changed.push_back(name);
    for (const auto &[name, value] : now.Values)
        if (!result.Values.contains(name))
            changed.push_back(name);
    if (changed.empty())
        return result;
    if (!PrepareFile(fileName))
        throw ERegistryException(Message("Failed to set data for '%1'", changed.front()).toStdString());
    for (const QString &name : changed) {
        if (const QString *value = result.Find(name))
            settings->setValue(name, *value);
        else
            settings->remove(name);
    }
    settings->sync();
    ::chmod(QFile::encodeName(fileName).constData(), S_IRUSR | S_IWUSR);
    if (settings->status() != QSettings::NoError)
        throw ERegistryException(Message("Failed to set data for '%1'", fileName).toStdString());
    return result;
}

bool TSettingsStore::ValueExists(const QString &name) const
{
    if (FMemory)
        return FMemory->Values.contains(name);
    return FSettings->contains(name);
}

QStringList TSettingsStore::ValueNames(const QString &group) const
{
    if (FMemory) {
        QStringList names;
        const QString prefix = group + '/';
        for (auto at = FMemory->Values.lower_bound(prefix); at != FMemory->Values.end() && at->first.startsWith(prefix);
             ++at)
            if (!at->first.mid(prefix.size()).contains('/'))
                names << at->first.mid(prefix.size());
        return names;
    }
    FSettings->beginGroup(group);
    const QStringList names = FSettings->childKeys();
    FSettings->endGroup();
    return names;
}

QString TSettingsStore::ReadString(const QString &name, const QString &defaultValue) const
{
    if (!ValueExists(name))
        return defaultValue;
    if (FMemory)
        return FMemory->Values.at(name);
    return TextOf(FSettings->value(name));
}

int TSettingsStore::ReadInteger(const QString &name, int defaultValue) const
{
    if (!ValueExists(name))
        return defaultValue;
    const QVariant value = FMemory ? QVariant(FMemory->Values.at(name)) : FSettings->value(name);
    bool ok = false;
    int number = 0;
    // Read from the file a value is text; one written in this run may still
    // be held as the number it was written as.
    switch (value.typeId()) {
    case QMetaType::QString:
        number = value.toString().toInt(&ok);
        break;
    case QMetaType::Int:
        number = value.toInt(&ok);
        break;
    default:
        break;
    }
    if (!ok)
        throw ERegistryException(Message("Invalid data type for '%1'", name).toStdString());
    return number;
}

std::string TSettingsStore::ReadBytes(const QString &name) const
{
    return QByteArray::fromPercentEncoding(ReadString(name, {}).toLatin1()).toStdString();
}

void TSettingsStore::WriteBytes(const QString &name, const std::string &bytes)
{
    WriteString(name, QString::fromLatin1(QByteArray::fromStdString(bytes).toPercentEncoding("/ ")));
}

void TSettingsStore::CheckWritable(const QString &name)
{
    if (!FForWriting || !FWritable)
        throw ERegistryException(Message("Failed to set data for '%1'", name).toStdString());
}

void TSettingsStore::Put(const QString &name, const QString &value)
{
    const auto [at, added] = FMemory->Values.insert_or_assign(name, value);
    if (added)
        FMemory->Order.push_back(name);
}

void TSettingsStore::WriteString(const QString &name, const QString &value)
{
    CheckWritable(name);
    if (FMemory)
        return Put(name, value);
    FSettings->setValue(name, value);
}

void TSettingsStore::WriteInteger(const QString &name, int value)
{
    CheckWritable(name);
    if (FMemory)
        return Put(name, QString::number(value));
    FSettings->setValue(name, value);
}

void TSettingsStore::DeleteValue(const QString &name)
{
    CheckWritable(name);
    if (FMemory) {
        if (FMemory->Values.erase(name))
            std::erase(FMemory->Order, name);
        return;
    }
    FSettings->remove(name);
}

void TSettingsStore::Close()
{
    if (!FForWriting || !FWritable || FMemory)
        return;
    FSettings->sync();
    const bool failed = FSettings->status() != QSettings::NoError;
    // Qt rewrites the file through a new one; keep it private all the same.
    FWritable = false;
    ::chmod(QFile::encodeName(FSettings->fileName()).constData(), S_IRUSR | S_IWUSR);
    if (failed)
        // The values went in; the file is what could not be written.
        throw ERegistryException(Message("Failed to set data for '%1'", FSettings->fileName()).toStdString());
}
