// Several windows, one settings file: each writes what it changed, merged
// into the file as another may have left it, never a whole copy of what it
// read at its start. A value goes to whoever changed it last. A list kept
// as numbered values ("Sites", "Site0.Address", "Site1.Address"...) is
// merged record by record: what this window added, changed and removed
// since it last wrote, done to the list as the file holds it now.
#pragma once

#include "SettingsStore.h"

#include <algorithm>
#include <map>
#include <vector>

// How a list is kept among the values: `Count` counts its records, whose
// values are named Prefix + n + Suffix + field ("Site" "0" "." "Address"),
// or Prefix + n for a record of one value ("SiteFolder3").
struct TSettingsList {
    QString Count, Prefix, Suffix;
    // What tells one record from another: a field's value ("Uid"); "" for
    // the whole record (the same record twice is two).
    QString Identity;
    // The list changes as a whole: the last writer's.
    bool Whole = false;
    // A record an older version wrote has no `Identity` field: it is
    // this prefix and its number ("site-3"), as every window reads it.
    QString Older;
};

// What the file is to hold: `now` as it is, with the changes from `before`
// (what this window last wrote or read) to `mine` (what it holds now).
TSettingsValues MergeSettings(const TSettingsValues &before, const TSettingsValues &mine, const TSettingsValues &now,
                              const std::vector<TSettingsList> &lists);

// Whether a value belongs to one of the lists (its count or a record's).
bool Listed(const QString &name, const std::vector<TSettingsList> &lists);

// Whether one list holds the same records in `a` and `b`.
bool SameList(const TSettingsValues &a, const TSettingsValues &b, const TSettingsList &list);

// The records of a list as they are `now`, with what was added, changed
// and removed from `before` to `mine`: an added record after the one it
// follows in `mine` (at the end when it was added there), a changed one
// in its place (or back, when it was removed meanwhile: a change is not
// lost). `Id` tells records apart; the same one twice is two.
template <class T, class TId>
std::vector<T> MergeLists(const std::vector<T> &before, const std::vector<T> &mine, std::vector<T> now, TId id)
{
    using TKey = decltype(id(before.front()));
    std::map<TKey, int> inBefore, inMine;
    std::map<TKey, const T *> earlier;
    for (const T &record : before) {
        ++inBefore[id(record)];
        earlier.emplace(id(record), &record);
    }
    for (const T &record : mine)
        ++inMine[id(record)];
    const auto find = [&](const TKey &key) {
        return std::find_if(now.begin(), now.end(), [&](const T &record) { return id(record) == key; });
    };
    for (const auto &[key, count] : inBefore)
        for (int removed = count - inMine[key]; removed > 0; --removed)
            if (const auto at = find(key); at != now.end())
                now.erase(at);
    // Which of mine are new; those after the last old one were added at
    // the end, and go at the end.
    std::vector<bool> added(mine.size());
    std::map<TKey, int> seen;
    size_t tail = 0;
    for (size_t i = 0; i < mine.size(); ++i) {
        const TKey key = id(mine[i]);
        added[i] = seen[key]++ >= inBefore[key];
        if (!added[i])
            tail = i + 1;
    }
    const TKey *previous = nullptr;
    for (size_t i = 0; i < mine.size(); ++i) {
        const T &record = mine[i];
        const TKey key = id(record);
        if (!added[i] && !(*earlier.at(key) == record)) {
            if (const auto at = find(key); at != now.end())
                *at = record;
            else
                now.push_back(record);
        }
        if (added[i] && i >= tail) {
            now.push_back(record);
        } else if (added[i]) {
            auto at = previous ? now.end() : now.begin();
            if (previous)
                for (auto look = now.begin(); look != now.end(); ++look)
                    if (id(*look) == *previous)
                        at = look + 1;
            now.insert(at, record);
        }
        previous = &inMine.find(key)->first;
    }
    return now;
}
