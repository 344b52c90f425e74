#include "SiteList.h"

#include "IniFile.h"
#include "SettingsMerge.h"
#include "SettingsStore.h"
#include "SiteFields.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QUuid>

#include <algorithm>

namespace {

QString NewUid()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

constexpr const char *Fields[] = {"Address", "UserName", "Password", "DefaultFolder"};
// The sites' "PasswordInStore" say where their passwords are.
const QString StoreMarked = QStringLiteral("PasswordsInStoreMarked");

QString *Field(TSiteEntry &site, int field)
{
    QString *fields[] = {&site.Address, &site.UserName, &site.Password, &site.DefaultFolder};
    return fields[field];
}

// The manager's fields, as text in the store.
struct TTextField {
    const char *Name;
    QString TSiteEntry::*Member;
};
constexpr TTextField ManagerTexts[] = {
    {"Name", &TSiteEntry::Name},           {"Folder", &TSiteEntry::Folder},
    {"Host", &TSiteEntry::Host},           {"KeyFile", &TSiteEntry::KeyFile},
    {"Charset", &TSiteEntry::Charset},     {"LocalFolder", &TSiteEntry::LocalFolder},
    {"Comments", &TSiteEntry::Comments},   {"Id", &TSiteEntry::Id},
    {"ProxyHost", &TSiteEntry::ProxyHost}, {"ProxyUser", &TSiteEntry::ProxyUser},
    // Kept as the settings keep their proxy's password.
    {"ProxyPassword", &TSiteEntry::ProxyPassword},
};
constexpr const char *ManagerNumbers[] = {"Protocol", "Port", "Logon", "Mode", "Transfers", "Proxy", "ProxyPort"};

// What an earlier version wrote holds no host: its sites are at the top,
// named by their address.
void ReadManagerFields(const TSettingsStore &store, int index, TSiteEntry &site)
{
    if (!store.ValueExists(TSiteList::ValueName(index, "Host"))) {
        SiteFields::FillFromAddress(site);
        return;
    }
    for (const TTextField &field : ManagerTexts)
        site.*field.Member = store.ReadString(TSiteList::ValueName(index, field.Name), QString());
    const auto text = [&](const char *name) { return store.ReadString(TSiteList::ValueName(index, name), {}); };
    site.Protocol = SiteFields::ProtocolFromKey(text("Protocol")).value_or(TSiteProtocol::FtpPlain);
    site.Logon = SiteFields::LogonFromKey(text("Logon")).value_or(TLogonType::Normal);
    site.Mode = SiteFields::ModeFromKey(text("Mode")).value_or(TTransferMode::Default);
    site.Proxy = SiteFields::ProxyFromKey(text("Proxy")).value_or(TSiteProxy::Default);
    site.ProxyPort = std::clamp(store.ReadInteger(TSiteList::ValueName(index, "ProxyPort"), 0), 0, 65535);
    site.Port = std::clamp(store.ReadInteger(TSiteList::ValueName(index, "Port"), 0), 0, 65535);
    site.Transfers = std::clamp(store.ReadInteger(TSiteList::ValueName(index, "Transfers"), 0), 0, 10);
    // As a JSON list of [name, local folder, remote folder].
    const QJsonArray bookmarks = QJsonDocument::fromJson(text("Bookmarks").toUtf8()).array();
    for (const QJsonValue &bookmark : bookmarks) {
        const QJsonArray fields = bookmark.toArray();
        if (fields.size() == 3)
            site.Bookmarks.append({fields[0].toString(), fields[1].toString(), fields[2].toString()});
    }
}

void WriteManagerFields(TSettingsStore &store, int index, const TSiteEntry &site)
{
    for (const TTextField &field : ManagerTexts)
        store.WriteString(TSiteList::ValueName(index, field.Name), site.*field.Member);
    store.WriteString(TSiteList::ValueName(index, "Protocol"), SiteFields::ProtocolKey(site.Protocol));
    store.WriteString(TSiteList::ValueName(index, "Logon"), SiteFields::LogonKey(site.Logon));
    store.WriteString(TSiteList::ValueName(index, "Mode"), SiteFields::ModeKey(site.Mode));
    store.WriteString(TSiteList::ValueName(index, "Proxy"), SiteFields::ProxyKey(site.Proxy));
    store.WriteInteger(TSiteList::ValueName(index, "ProxyPort"), site.ProxyPort);
    store.WriteInteger(TSiteList::ValueName(index, "Port"), site.Port);
    store.WriteInteger(TSiteList::ValueName(index, "Transfers"), site.Transfers);
    if (site.Bookmarks.isEmpty()) {
        store.DeleteValue(TSiteList::ValueName(index, "Bookmarks"));
        return;
    }
    QJsonArray bookmarks;
    for (const TBookmark &bookmark : site.Bookmarks)
        bookmarks.append(QJsonArray{bookmark.Name, bookmark.LocalFolder, bookmark.RemoteFolder});
    store.WriteString(TSiteList::ValueName(index, "Bookmarks"),
                      QString::fromUtf8(QJsonDocument(bookmarks).toJson(QJsonDocument::Compact)));
}

}  // namespace

void TSiteList::Append(const TSiteEntry &site)
{
    FSites.push_back(site);
    if (FSites.back().Uid.isEmpty())
        FSites.back().Uid = NewUid();
}

void TSiteList::Merge(const TSiteList &before, const TSiteList &edited)
{
    FSites = MergeLists(before.FSites, edited.FSites, FSites, [](const TSiteEntry &site) { return site.Uid; });
    const auto folders = MergeLists(std::vector<QString>(before.Folders.begin(), before.Folders.end()),
                                    std::vector<QString>(edited.Folders.begin(), edited.Folders.end()),
                                    std::vector<QString>(Folders.begin(), Folders.end()),
                                    [](const QString &folder) { return folder; });
    Folders = QStringList(folders.begin(), folders.end());
}

int TSiteList::IndexOfUid(const QString &uid) const
{
    for (int i = 0; i < Count(); ++i)
        if (FSites[size_t(i)].Uid == uid)
            return i;
    return -1;
}

int TSiteList::IndexOfPath(const QString &path) const
{
    for (int i = 0; i < Count(); ++i)
        if (FSites[size_t(i)].Path() == path)
            return i;
    return -1;
}

QString TSiteList::FreeName(const QString &folder, const QString &name) const
{
    return SiteFields::FreeName(name, [&](const QString &candidate) {
        return IndexOfPath(folder.isEmpty() ? candidate : folder + '/' + candidate) >= 0;
    });
}

QString TSiteList::ValueName(int index, const char *field)
{
    return QStringLiteral("Site%1.%2").arg(index).arg(QLatin1String(field));
}

void TSiteList::ReadFromIni(const TIniFile &ini)
{
    Folders.clear();
    // A negative count is as good as none.
    FSites.resize(size_t(std::max(0, ini.ReadInteger("GENERAL", "Sites", 0))));
    for (int i = 0; i < Count(); ++i)
        for (int f = 0; f < 4; ++f)
            *Field(FSites[size_t(i)], f) = ini.ReadString("SITES", ValueName(i, Fields[f]), QString());
    for (int i = 0; i < Count(); ++i) {
        SiteFields::FillFromAddress(FSites[size_t(i)]);
        FSites[size_t(i)].Uid = UidOfOlder + QString::number(i);
    }
}

void TSiteList::ReadFromStore(const TSettingsStore &store)
{
    // A count of the wrong kind raises before anything read is dropped.
    const int count = std::max(0, store.ReadInteger("Sites", 0));
    Folders.clear();
    FSites.clear();
    FSites.resize(size_t(count));
    // Settings of an older version do not say which passwords the store
    // holds: any site without one in the file may have one there.
    const bool marked = store.ReadInteger(StoreMarked, 0) == 1;
    for (int i = 0; i < Count(); ++i) {
        TSiteEntry &site = FSites[size_t(i)];
        for (int f = 0; f < 4; ++f)
            *Field(site, f) = store.ReadString(ValueName(i, Fields[f]), QString());
        site.PasswordInStore = marked ? store.ReadInteger(ValueName(i, "PasswordInStore"), 0) == 1
                                      : site.Password.isEmpty();
        ReadManagerFields(store, i, site);
        site.Uid = store.ReadString(ValueName(i, "Uid"), {});
        if (site.Uid.isEmpty())
            site.Uid = UidOfOlder + QString::number(i);
        if (IndexOfUid(site.Uid) < i)
            site.Uid = NewUid();
    }
    const int folders = std::max(0, store.ReadInteger("SiteFolders", 0));
    for (int i = 0; i < folders; ++i)
        Folders << store.ReadString(QStringLiteral("SiteFolder%1").arg(i), QString());
}

void TSiteList::WriteToStore(TSettingsStore &store, const std::vector<TSiteSecrets::TPlace> &places) const
{
    store.WriteInteger("Sites", Count());
    store.WriteInteger(StoreMarked, 1);
    for (int i = 0; i < Count(); ++i) {
        const TSiteEntry &site = FSites[size_t(i)];
        const TSiteSecrets::TPlace place = size_t(i) < places.size() ? places[size_t(i)] : TSiteSecrets::InFile;
        store.WriteString(ValueName(i, "Address"), site.Address);
        store.WriteString(ValueName(i, "UserName"), site.UserName);
        if (place == TSiteSecrets::InFile)
            store.WriteString(ValueName(i, "Password"), site.Password);
        else
            store.DeleteValue(ValueName(i, "Password"));
        if (place == TSiteSecrets::InStore)
            store.WriteInteger(ValueName(i, "PasswordInStore"), 1);
        else
            store.DeleteValue(ValueName(i, "PasswordInStore"));
        store.WriteString(ValueName(i, "DefaultFolder"), site.DefaultFolder);
        store.WriteString(ValueName(i, "Uid"), site.Uid);
        WriteManagerFields(store, i, site);
    }
    const int oldFolders = store.ReadInteger("SiteFolders", 0);
    store.WriteInteger("SiteFolders", int(Folders.size()));
    for (int i = 0; i < std::max(oldFolders, int(Folders.size())); ++i) {
        const QString name = QStringLiteral("SiteFolder%1").arg(i);
        if (i < Folders.size())
            store.WriteString(name, Folders[i]);
        else
            store.DeleteValue(name);
    }
    // A removed site takes its keys along, its password among them.
    for (int i = Count(); store.ValueExists(ValueName(i, "Address")) || store.ValueExists(ValueName(i, "Password")); ++i) {
        for (const char *field : Fields)
            store.DeleteValue(ValueName(i, field));
        store.DeleteValue(ValueName(i, "PasswordInStore"));
        store.DeleteValue(ValueName(i, "Uid"));
        for (const TTextField &field : ManagerTexts)
            store.DeleteValue(ValueName(i, field.Name));
        for (const char *field : ManagerNumbers)
            store.DeleteValue(ValueName(i, field));
        store.DeleteValue(ValueName(i, "Bookmarks"));
    }
}
