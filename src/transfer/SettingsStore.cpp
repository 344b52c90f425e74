#include "SettingsStore.h"

#include <QDir>
#include <QFileInfo>
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

}  // namespace

TSettingsStore::TSettingsStore(bool forWriting) : FSettings(NewSettings()), FForWriting(forWriting)
{
    if (forWriting)
        FWritable = PrepareFile(FSettings->fileName());
}

TSettingsStore::~TSettingsStore()
{
    try {
        if (FForWriting && FWritable)
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

bool TSettingsStore::ValueExists(const QString &name) const
{
    return FSettings->contains(name);
}

QStringList TSettingsStore::ValueNames(const QString &group) const
{
    FSettings->beginGroup(group);
    const QStringList names = FSettings->childKeys();
    FSettings->endGroup();
    return names;
}

QString TSettingsStore::ReadString(const QString &name, const QString &defaultValue) const
{
    if (!ValueExists(name))
        return defaultValue;
    const QVariant value = FSettings->value(name);
    // A hand-edited value with an unquoted comma reads back as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(',');
    return value.toString();
}

int TSettingsStore::ReadInteger(const QString &name, int defaultValue) const
{
    if (!ValueExists(name))
        return defaultValue;
    const QVariant value = FSettings->value(name);
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

void TSettingsStore::WriteString(const QString &name, const QString &value)
{
    CheckWritable(name);
    FSettings->setValue(name, value);
}

void TSettingsStore::WriteInteger(const QString &name, int value)
{
    CheckWritable(name);
    FSettings->setValue(name, value);
}

void TSettingsStore::DeleteValue(const QString &name)
{
    CheckWritable(name);
    FSettings->remove(name);
}

void TSettingsStore::Close()
{
    if (!FForWriting || !FWritable)
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
