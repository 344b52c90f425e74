// The saved sites, in the order of the address box's items, and how they
// are read from the legacy INI file and read from and written to the
// settings store ("Sites", then "Site<n>.Address" and so on, n from 0).
#pragma once

#include "SiteEntry.h"
#include "SiteSecrets.h"

#include <vector>

class TIniFile;
class TSettingsStore;

class TSiteList {
public:
    int Count() const { return int(FSites.size()); }
    TSiteEntry &operator[](int index) { return FSites.at(size_t(index)); }
    const TSiteEntry &operator[](int index) const { return FSites.at(size_t(index)); }

    void Append(const TSiteEntry &site) { FSites.push_back(site); }
    // Removes one site; the later ones move up a place.
    void Remove(int index) { FSites.erase(FSites.begin() + index); }

    // Replace the list with the sites of the file or store. A store value of
    // the wrong kind stops the reading; what was read before stays.
    void ReadFromIni(const TIniFile &ini);
    void ReadFromStore(const TSettingsStore &store);
    // A site whose password is in the secret store (`places`) is written
    // without it, and marked so; one kept in memory alone, without it.
    void WriteToStore(TSettingsStore &store, const std::vector<TSiteSecrets::TPlace> &places = {}) const;

    static QString ValueName(int index, const char *field);

private:
    std::vector<TSiteEntry> FSites;
};
