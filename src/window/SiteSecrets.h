// Where the saved sites' passwords are kept: in the desktop's secret store
// when one works, so that the settings file holds none; in the settings
// file (readable by its owner alone) when none does. A password found in
// the file moves into the store; a site's secret goes with the site.
#pragma once

#include "SecretStore.h"

#include <map>
#include <vector>

struct TSiteEntry;
class TSiteList;

class TSiteSecrets {
public:
    // The store's name for a site's password.
    static QString Key(const TSiteEntry &site);

    // After the sites are read: a password the file held goes into the
    // store (out of the file at the next save); one it did not hold comes
    // from the store.
    void Fetch(TSiteList &sites);
    // A site just saved or removed in the bar: the store follows at once.
    // False when the password could not go into the store.
    bool Keep(const TSiteEntry &site);
    void Forget(const TSiteEntry &site);
    // Before the sites are written: each site's password into the store,
    // and the secrets of sites gone out of it. Says per site whether its
    // password is in the store, and so stays out of the file.
    std::vector<bool> Stow(const TSiteList &sites);

    // The store failed (or there is none): passwords stay in the file.
    bool StoreMissing() const { return !FStore.Working(); }
    QString StoreFailure() const { return FStore.Failure(); }

private:
    bool Put(const QString &key, const QString &secret);

    TSecretStore FStore;
    // What this run knows to be in the store, by key.
    std::map<QString, QString> FStored;
};
