#include "SiteList.h"

#include "IniFile.h"
#include "SettingsStore.h"

#include <algorithm>

namespace {

constexpr const char *Fields[] = {"Address", "UserName", "Password", "DefaultFolder"};

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
    for (int i = 0; i < Count(); ++i)
        for (int f = 0; f < 4; ++f)
            *Field(FSites[size_t(i)], f) = store.ReadString(ValueName(i, Fields[f]), QString());
}

void TSiteList::WriteToStore(TSettingsStore &store, const std::vector<bool> &inSecretStore) const
{
    store.WriteInteger("Sites", Count());
    for (int i = 0; i < Count(); ++i) {
        const TSiteEntry &site = FSites[size_t(i)];
        store.WriteString(ValueName(i, "Address"), site.Address);
        store.WriteString(ValueName(i, "UserName"), site.UserName);
        if (size_t(i) < inSecretStore.size() && inSecretStore[size_t(i)])
            store.DeleteValue(ValueName(i, "Password"));
        else
            store.WriteString(ValueName(i, "Password"), site.Password);
        store.WriteString(ValueName(i, "DefaultFolder"), site.DefaultFolder);
    }
    // A removed site takes its keys along, its password among them.
    for (int i = Count(); store.ValueExists(ValueName(i, "Address")) || store.ValueExists(ValueName(i, "Password")); ++i)
        for (const char *field : Fields)
            store.DeleteValue(ValueName(i, field));
}
