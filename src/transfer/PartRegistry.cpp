#include "PartRegistry.h"

#include "SettingsStore.h"

#include <sys/stat.h>

namespace {

const QString Group = QStringLiteral("Parts");

}  // namespace

void TPartRegistry::Keep(const std::string &target, const std::optional<TPartRecord> &part)
{
    auto records = std::make_shared<TPartRecords>(*FRecords);
    // A part no record will point to goes: the file arrived, or another
    // part of it was begun.
    if (const auto old = records->find(target); old != records->end() && (!part || part->Path != old->second.Path))
        TPartFile::Discard(old->second);
    if (part)
        (*records)[target] = *part;
    else if (records->erase(target) == 0)
        return;
    FRecords = std::move(records);
    ++FRevision;
}

void TPartRegistry::Load(const TSettingsStore &store)
{
    auto records = std::make_shared<TPartRecords>();
    const int count = store.ReadInteger(Group + "/Count", 0);
    for (int i = 0; i < count; ++i) {
        const QString key = QStringLiteral("%1/%2.").arg(Group).arg(i);
        TPartRecord part;
        part.Target = store.ReadBytes(key + "Target");
        part.Path = store.ReadBytes(key + "Path");
        part.Length = store.ReadString(key + "Length", {}).toLongLong();
        part.Device = store.ReadString(key + "Device", {}).toULongLong();
        part.Inode = store.ReadString(key + "Inode", {}).toULongLong();
        part.Changed = store.ReadString(key + "Changed", {}).toLongLong();
        part.Token = store.ReadString(key + "Token", {}).toStdString();
        struct stat info {};
        if (!part.Target.empty() && !part.Token.empty() && ::lstat(part.Path.c_str(), &info) == 0)
            (*records)[part.Target] = std::move(part);
    }
    FRecords = std::move(records);
    ++FRevision;
}

void TPartRegistry::Save(TSettingsStore &store) const
{
    const int before = store.ReadInteger(Group + "/Count", 0);
    store.WriteInteger(Group + "/Count", int(FRecords->size()));
    int i = 0;
    for (const auto &[target, part] : *FRecords) {
        const QString key = QStringLiteral("%1/%2.").arg(Group).arg(i++);
        store.WriteBytes(key + "Target", target);
        store.WriteBytes(key + "Path", part.Path);
        store.WriteString(key + "Length", QString::number(part.Length));
        store.WriteString(key + "Device", QString::number(part.Device));
        store.WriteString(key + "Inode", QString::number(part.Inode));
        store.WriteString(key + "Changed", QString::number(part.Changed));
        store.WriteString(key + "Token", QString::fromStdString(part.Token));
    }
    for (; i < before; ++i)
        for (const char *field : {"Target", "Path", "Length", "Device", "Inode", "Changed", "Token"})
            store.DeleteValue(QStringLiteral("%1/%2.%3").arg(Group).arg(i).arg(QLatin1String(field)));
}
