#include "SiteSecrets.h"

#include "SiteList.h"

#include <set>

QString TSiteSecrets::Key(const TSiteEntry &site)
{
    return site.UserName + '@' + site.Address;
}

bool TSiteSecrets::Put(const QString &key, const QString &secret)
{
    const auto stored = FStored.find(key);
    if (stored != FStored.end() && stored->second == secret)
        return true;
    if (FStore.Write(key, secret) != TSecretStore::Done)
        return false;
    FStored[key] = secret;
    return true;
}

void TSiteSecrets::Fetch(TSiteList &sites)
{
    FStored.clear();
    for (int i = 0; i < sites.Count(); ++i) {
        TSiteEntry &site = sites[i];
        const QString key = Key(site);
        if (!site.Password.isEmpty()) {
            Put(key, site.Password);
            continue;
        }
        QString secret;
        if (FStore.Read(key, secret) == TSecretStore::Done) {
            site.Password = secret;
            FStored[key] = secret;
        }
    }
}

bool TSiteSecrets::Keep(const TSiteEntry &site)
{
    return site.Password.isEmpty() || Put(Key(site), site.Password);
}

void TSiteSecrets::Forget(const TSiteEntry &site)
{
    if (FStore.Remove(Key(site)) == TSecretStore::Done)
        FStored.erase(Key(site));
}

std::vector<bool> TSiteSecrets::Stow(const TSiteList &sites)
{
    std::vector<bool> inStore(size_t(sites.Count()), false);
    std::set<QString> current;
    for (int i = 0; i < sites.Count(); ++i) {
        const TSiteEntry &site = sites[i];
        const QString key = Key(site);
        current.insert(key);
        if (!site.Password.isEmpty())
            inStore[size_t(i)] = Put(key, site.Password);
        else if (FStored.contains(key))
            Forget(site);  // the password was cleared
    }
    // A secret whose site was removed or renamed. (One whose reading failed
    // is not known here, and stays.)
    for (auto stored = FStored.begin(); stored != FStored.end();) {
        const QString key = stored->first;
        ++stored;
        if (!current.contains(key) && FStore.Remove(key) == TSecretStore::Done)
            FStored.erase(key);
    }
    return inStore;
}
