// Where the saved sites' passwords are kept: in the desktop's secret store
// when one works, so that the settings file holds none; in the settings
// file (readable by its owner alone) when there is no secret service at
// all; in memory for this run alone when there is one that refused (its
// keyring left locked, its prompt cancelled). A password found in the
// file moves into the store at the next save; a site's secret goes with
// the site.
//
// The store is asked only when a password is needed (a saved site
// connects) or saved, never while the window starts: a store that prompts
// does so over the window, and a prompt cancelled once is not shown again
// in this run.
#pragma once

#include "SecretStore.h"

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <vector>

struct TSiteEntry;
class TSiteList;

// Where saved sites' passwords go: the desktop's keyring, the settings file
// (readable by its owner alone, unencrypted), or nowhere (typed each run).
enum class TPasswordKeeping { Keyring, File, Nowhere };

class TSiteSecrets {
public:
    // The store's name for a site's password.
    static QString Key(const TSiteEntry &site);

    // After the sites are read, without a word to the store: which
    // passwords the file held.
    void Loaded(const TSiteList &sites);
    // A saved site's password: the one it has, else the store's (asked
    // once a run), else none.
    QString Password(const TSiteEntry &site);

    // Where a password is kept.
    enum TPlace { InStore, InFile, InMemory };
    // A site just saved or removed in the bar: the store follows at once.
    TPlace Keep(const TSiteEntry &site);
    void Forget(const TSiteEntry &site);
    // Before the sites are written: each site's password into the store,
    // and the secrets of sites gone out of it. Says per site where its
    // password is kept.
    std::vector<TPlace> Stow(const TSiteList &sites);

    // The user's choice; passwords already in the keyring stay readable.
    TPasswordKeeping Keeping = TPasswordKeeping::Keyring;

    // Asked once a run when a store that is there refused a password:
    // true keeps it in the settings file, unencrypted; false for this run
    // only. Unset: this run only.
    std::function<bool()> AskKeepInFile;

    // The store failed: why, in its words; and whether there is none.
    QString StoreFailure() const { return FStore.Failure(); }
    bool StoreWorking() const { return FStore.Working(); }
    bool StoreMissing() const { return FStore.Missing(); }

private:
    bool Put(const QString &key, const QString &secret);
    // Where a password the store did not take goes: the file when there is
    // no store at all, when the file held it already, or when the user
    // said so.
    TPlace Fallback(const QString &key);

    TSecretStore FStore;
    // What this run knows to be in the store, by key.
    std::map<QString, QString> FStored;
    // The keys asked of the store, found or not.
    std::set<QString> FAsked;
    // The keys whose password the settings file held when read.
    std::set<QString> FInFile;
    std::optional<bool> FKeepInFile;
};
