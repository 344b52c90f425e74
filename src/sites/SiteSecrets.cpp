#include "SiteSecrets.h"

#include "SiteList.h"

QString TSiteSecrets::Key(const TSiteEntry &site)
{
    // A site of the manager's keeps its name in the store while it is
    // renamed, moved or pointed elsewhere; an earlier version's site goes
    // by its user and address, as it always did.
    return site.Id.isEmpty() ? site.UserName + '@' + site.Address : QStringLiteral("site ") + site.Id;
}

bool TSiteSecrets::Put(const QString &key, const QString &secret)
{
    const auto stored = FStored.find(key);
    if (stored != FStored.end() && stored->second == secret)
        return true;
    if (FStore.Write(key, secret) != TSecretStore::Done)
        return false;
    FStored[key] = secret;
    FAsked.insert(key);
    return true;
}

TSiteSecrets::TPlace TSiteSecrets::Fallback(const QString &key)
{
    // A store that refused sends a new password into the file in clear only
    // at the user's word; one the file held already stays there, as it was.
    if (FStore.Missing() || FInFile.contains(key))
        return InFile;
    if (!FKeepInFile)
        FKeepInFile = AskKeepInFile && AskKeepInFile();
    return *FKeepInFile ? InFile : InMemory;
}

void TSiteSecrets::Loaded(const TSiteList &sites)
{
    FStored.clear();
    FAsked.clear();
    FInFile.clear();
    for (int i = 0; i < sites.Count(); ++i)
        if (!sites[i].Password.isEmpty())
            FInFile.insert(Key(sites[i]));
}

QString TSiteSecrets::Password(const TSiteEntry &site)
{
    if (!site.Password.isEmpty())
        return site.Password;
    const QString key = Key(site);
    if (FAsked.insert(key).second) {
        QString secret;
        if (FStore.Read(key, secret) == TSecretStore::Done)
            FStored[key] = secret;
    }
    const auto stored = FStored.find(key);
    return stored == FStored.end() ? QString() : stored->second;
}

TSiteSecrets::TPlace TSiteSecrets::Keep(const TSiteEntry &site)
{
    if (site.Password.isEmpty())
        return InStore;
    if (Keeping != TPasswordKeeping::Keyring)
        return Keeping == TPasswordKeeping::File ? InFile : InMemory;
    const QString key = Key(site);
    return Put(key, site.Password) ? InStore : Fallback(key);
}

void TSiteSecrets::Forget(const TSiteEntry &site)
{
    if (FStore.Remove(Key(site)) == TSecretStore::Done)
        FStored.erase(Key(site));
}

std::vector<TSiteSecrets::TPlace> TSiteSecrets::Stow(const TSiteList &sites)
{
    std::vector<TPlace> places(size_t(sites.Count()), InFile);
    std::set<QString> current;
    for (int i = 0; i < sites.Count(); ++i) {
        const TSiteEntry &site = sites[i];
        const QString key = Key(site);
        current.insert(key);
        if (!site.Password.isEmpty() && Keeping != TPasswordKeeping::Keyring)
            places[size_t(i)] = Keeping == TPasswordKeeping::File ? InFile : InMemory;
        else if (!site.Password.isEmpty())
            places[size_t(i)] = Put(key, site.Password) ? InStore : Fallback(key);
        else if (FStored.contains(key))
            Forget(site);  // the password was cleared
        else if (site.PasswordInStore && !FAsked.contains(key))
            places[size_t(i)] = InStore;  // never asked for in this run: there still
    }
    // A secret whose site was removed or renamed. (One whose reading failed
    // or that was never asked for is not known here, and stays.)
    for (auto stored = FStored.begin(); stored != FStored.end();) {
        const QString key = stored->first;
        ++stored;
        if (!current.contains(key) && FStore.Remove(key) == TSecretStore::Done)
            FStored.erase(key);
    }
    return places;
}
