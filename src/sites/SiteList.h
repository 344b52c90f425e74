// The saved sites, in the site manager's order, with the folders that
// hold no site yet; how they are read from the legacy INI file and read
// from and written to the settings store ("Sites", then "Site<n>.Address"
// and so on, n from 0; "SiteFolders", then "SiteFolder<n>").
#pragma once

#include "SiteEntry.h"
#include "SiteSecrets.h"

#include <QStringList>

#include <vector>

class TIniFile;
class TSettingsStore;

class TSiteList {
public:
    int Count() const { return int(FSites.size()); }
    TSiteEntry &operator[](int index) { return FSites.at(size_t(index)); }
    const TSiteEntry &operator[](int index) const { return FSites.at(size_t(index)); }

    // A site without a Uid gets one.
    void Append(const TSiteEntry &site);
    void Clear() { FSites.clear(); Folders.clear(); }
    // The site of that path ("Work/www"), or -1.
    int IndexOfPath(const QString &path) const;
    // `name`, or "name (2)" and on, so that no site in `folder` has it.
    QString FreeName(const QString &folder, const QString &name) const;
    // The folders by path, those with no site in them too, in the
    // manager's order; a site's folder may be missing here.
    QStringList Folders;
    // Removes one site; the later ones move up a place.
    void Remove(int index) { FSites.erase(FSites.begin() + index); }
    // What was added, changed and removed from `before` to `edited` (a
    // copy edited meanwhile, the site manager's), done to this list as it
    // is now: another window may have changed it meanwhile.
    void Merge(const TSiteList &before, const TSiteList &edited);

    // Replace the list with the sites of the file or store. A store value of
    // the wrong kind stops the reading; what was read before stays.
    void ReadFromIni(const TIniFile &ini);
    void ReadFromStore(const TSettingsStore &store);
    // A site whose password is in the secret store (`places`) is written
    // without it, and marked so; one kept in memory alone, without it.
    void WriteToStore(TSettingsStore &store, const std::vector<TSiteSecrets::TPlace> &places = {}) const;

    static QString ValueName(int index, const char *field);
    bool operator==(const TSiteList &) const = default;
    // The Uid of site n of a list an older version wrote, which had none:
    // the same in every window that reads that list.
    static constexpr const char *UidOfOlder = "site-";
    // The site of that Uid, or -1.
    int IndexOfUid(const QString &uid) const;

private:
    std::vector<TSiteEntry> FSites;
};
