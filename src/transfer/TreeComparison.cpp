#include "TreeComparison.h"

#include "RemoteName.h"

#include <algorithm>
#include <map>
#include <unordered_map>

namespace {

class TTreePairing {
public:
    TTreePairing(const TTreeCompareRules &rules, std::map<std::string, std::vector<TCompareEntry>> remote)
        : R(rules), FRemote(std::move(remote))
    {
    }

    // One folder pair, then the folders below it. `localExists` and
    // `remoteExists` say whether there is anything to read on each side.
    void Pair(const std::string &local, bool localExists, const std::string &remote, bool remoteExists,
              const std::string &path, int depth)
    {
        std::vector<TCompareEntry> localEntries = localExists ? LocalCompareEntries(local) : std::vector<TCompareEntry>{};
        std::vector<TCompareEntry> remoteEntries;
        if (remoteExists)
            if (const auto listed = FRemote.find(remote); listed != FRemote.end())
                remoteEntries = listed->second;
        for (auto *entries : {&localEntries, &remoteEntries})
            std::erase_if(*entries, [&](const TCompareEntry &entry) {
                return (depth == 0 && !R.Chosen.empty() && R.Chosen.count(entry.Key) == 0) ||
                       (entry.IsFolder && entry.Link) || (R.Hides && R.Hides(entry));
            });
        const TFolderComparison compared = CompareFolders(localEntries, remoteEntries, R.By);
        for (const TCompareEntry &entry : compared.LocalNewer)
            Result.LocalNewer.push_back({local, remote, entry, path + entry.Name, compared.Local.at(entry.Name)});
        for (const TCompareEntry &entry : compared.RemoteNewer)
            Result.RemoteNewer.push_back({local, remote, entry, path + entry.Name, compared.Remote.at(entry.Name)});
        // Below the walk's depth the remote side was not listed: comparing
        // there would call every local file new.
        if (R.Walk.MaxDepth >= 0 && depth + 1 >= R.Walk.MaxDepth)
            return;
        std::unordered_map<std::string, const TCompareEntry *> remoteFolders;
        for (const TCompareEntry &entry : remoteEntries)
            if (entry.IsFolder)
                remoteFolders.emplace(entry.Key, &entry);
        for (const TCompareEntry &entry : localEntries) {
            if (!entry.IsFolder)
                continue;
            const auto twin = remoteFolders.find(entry.Key);
            const bool both = twin != remoteFolders.end();
            const std::string remoteName = both ? twin->second->Name : RemoteNameFor(entry.Name);
            Pair(local + entry.Name + '/', true, RemoteJoin(remote, remoteName), both, path + entry.Name + '/', depth + 1);
            if (both)
                remoteFolders.erase(twin);
        }
        // Folders only the server has, in the order it listed them.
        for (const TCompareEntry &entry : remoteEntries)
            if (entry.IsFolder && remoteFolders.count(entry.Key))
                Pair(local + LocalNameFor(entry.Name) + '/', false, RemoteJoin(remote, entry.Name),
                     true, path + entry.Name + '/', depth + 1);
    }

    TTreeComparison Result;

private:
    const TTreeCompareRules &R;
    std::map<std::string, std::vector<TCompareEntry>> FRemote;
};

}  // namespace

TTreeComparison CompareTrees(TRemoteSession &remote, const std::string &localTop, const std::string &remoteTop,
                             const TTreeCompareRules &rules)
{
    std::map<std::string, std::vector<TCompareEntry>> listed{{remoteTop, {}}};
    TRemoteWalkRules walkRules = rules.Walk;
    // Only the chosen folders and those the filters let through are walked.
    walkRules.Enter = [&rules](const std::string &, const TListingEntry &entry, int depth) {
        const TCompareEntry compared = CompareEntryOf(entry, LocalNameFor(entry.Name));
        return IsLocalFileName(compared.Key) && (depth > 1 || rules.Chosen.empty() || rules.Chosen.count(compared.Key)) &&
               !(rules.Hides && rules.Hides(compared));
    };
    const TRemoteWalk walk =
        WalkRemoteTree(remote, remoteTop, walkRules, [&](const std::string &folder, const TListingEntry &entry, int) {
            std::string key = LocalNameFor(entry.Name);
            // A name no local file can have is neither compared nor moved.
            if (!IsLocalFileName(key)) {
                if (rules.Walk.Unsafe)
                    rules.Walk.Unsafe(folder, entry.Name);
                return;
            }
            listed[folder].push_back(CompareEntryOf(entry, std::move(key)));
        });
    if (!walk.Incomplete.isEmpty() || (rules.Walk.Stop && rules.Walk.Stop())) {
        TTreeComparison stopped;
        stopped.Walk = walk;
        return stopped;
    }
    TTreePairing pairing(rules, std::move(listed));
    pairing.Pair(localTop, true, remoteTop, true, {}, 0);
    pairing.Result.Walk = walk;
    // Listed to the user by path.
    for (auto *newer : {&pairing.Result.LocalNewer, &pairing.Result.RemoteNewer})
        std::sort(newer->begin(), newer->end(), [](const TTreeNewer &a, const TTreeNewer &b) { return a.Path < b.Path; });
    return std::move(pairing.Result);
}
