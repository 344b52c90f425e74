#include "SiteList.h"

#include "IniFile.h"
#include "SettingsStore.h"

#include <algorithm>

namespace {

constexpr const char *Fields[] = {"Address", "UserName", "Password", "DefaultFolder"};
// The sites' "PasswordInStore" say where their passwords are.
const QString StoreMarked = QStringLiteral("PasswordsInStoreMarked");

QString *Field(TSiteEntry &site, int field)
{
    QString *fields[] = {&site.Address, &site.UserName, &site.Password, &site.DefaultFolder};
    return fields[field];
}

}  // namespace

QString TSiteList::ValueName(int index, const char *field)
{
    return QStringLiteral("Site%1.%2").arg(index).arg(QLatin1String(field));
}

void TSiteList::ReadFromIni(const TIniFile &ini)
{
    // A negative count is as good as none.
    FSites.resize(size_t(std::max(0, ini.ReadInteger("GENERAL", "Sites", 0))));
    for (int i = 0; i < Count(); ++i)
        for (int f = 0; f < 4; ++f)
            *Field(FSites[size_t(i)], f) = ini.ReadString("SITES", ValueName(i, Fields[f]), QString());
}

void TSiteList::ReadFromStore(const TSettingsStore &store)
{
    FSites.resize(size_t(std::max(0, store.ReadInteger("Sites", 0))));
    // Settings of an older version do not say which passwords the store
    // holds: any site without one in the file may have one there.
    const bool marked = store.ReadInteger(StoreMarked, 0) == 1;
    for (int i = 0; i < Count(); ++i) {
        TSiteEntry &site = FSites[size_t(i)];
        for (int f = 0; f < 4; ++f)
            *Field(site, f) = store.ReadString(ValueName(i, Fields[f]), QString());
        site.PasswordInStore = marked ? store.ReadInteger(ValueName(i, "PasswordInStore"), 0) == 1
                                      : site.Password.isEmpty();
    }
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
    }
    // A removed site takes its keys along, its password among them.
    for (int i = Count(); store.ValueExists(ValueName(i, "Address")) || store.ValueExists(ValueName(i, "Password")); ++i) {
        for (const char *field : Fields)
            store.DeleteValue(ValueName(i, field));
        store.DeleteValue(ValueName(i, "PasswordInStore"));
    }
}
