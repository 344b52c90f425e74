#include "FolderComparison.h"

#include "IdGlobal.h"

#include <algorithm>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

// Which is the later, to the coarser precision; Same when a time is unknown.
TCompared TimeOrder(const TCompareEntry &here, const TCompareEntry &there)
{
    if (here.Seconds < 0 || there.Seconds < 0)
        return TCompared::Same;
    const int64_t precision = std::max({here.Precision, there.Precision, 1});
    const int64_t mine = here.Seconds / precision, theirs = there.Seconds / precision;
    return mine == theirs ? TCompared::Same : mine > theirs ? TCompared::NewerHere : TCompared::OlderHere;
}

TCompared Compare(const TCompareEntry &here, const TCompareEntry &there, TCompareBy by)
{
    // A folder is the same as a folder, whatever it holds; a file and a
    // folder of one name are as different as two sizes.
    if (here.IsFolder || there.IsFolder)
        return here.IsFolder == there.IsFolder ? TCompared::Same : TCompared::SizeDiffers;
    if (here.Size >= 0 && there.Size >= 0 && here.Size != there.Size)
        return TCompared::SizeDiffers;
    return by == TCompareBy::Size ? TCompared::Same : TimeOrder(here, there);
}

TCompared Mirrored(TCompared compared)
{
    return compared == TCompared::NewerHere ? TCompared::OlderHere
           : compared == TCompared::OlderHere ? TCompared::NewerHere
                                              : compared;
}

}  // namespace

TFolderComparison CompareFolders(const std::vector<TCompareEntry> &local, const std::vector<TCompareEntry> &remote,
                                 TCompareBy by)
{
    TFolderComparison result;
    std::unordered_map<std::string_view, const TCompareEntry *> remoteByKey;
    remoteByKey.reserve(remote.size());
    for (const TCompareEntry &entry : remote) {
        remoteByKey.emplace(entry.Key, &entry);
        result.Remote.emplace(entry.Name, TCompared::OnlyHere);
    }
    result.Local.reserve(local.size());
    for (const TCompareEntry &entry : local) {
        const auto found = remoteByKey.find(entry.Key);
        if (found == remoteByKey.end()) {
            result.Local.emplace(entry.Name, TCompared::OnlyHere);
            if (!entry.IsFolder)
                result.LocalNewer.push_back(entry);
            continue;
        }
        const TCompareEntry &other = *found->second;
        const TCompared compared = Compare(entry, other, by);
        result.Local.emplace(entry.Name, compared);
        result.Remote[other.Name] = Mirrored(compared);
        if (entry.IsFolder || other.IsFolder || compared == TCompared::Same)
            continue;
        // By time, whatever the comparison is by: a size alone says nothing
        // of which copy is the later.
        const TCompared byTime = TimeOrder(entry, other);
        if (byTime == TCompared::NewerHere)
            result.LocalNewer.push_back(entry);
        else if (byTime == TCompared::OlderHere)
            result.RemoteNewer.push_back(other);
    }
    for (const TCompareEntry &entry : remote)
        if (!entry.IsFolder && result.Remote.at(entry.Name) == TCompared::OnlyHere)
            result.RemoteNewer.push_back(entry);
    // Listed to the user in the order of their names.
    for (auto *newer : {&result.LocalNewer, &result.RemoteNewer})
        std::sort(newer->begin(), newer->end(),
                  [](const TCompareEntry &a, const TCompareEntry &b) { return a.Name < b.Name; });
    return result;
}

TCompareEntry CompareEntryOf(const TListingEntry &entry, std::string key)
{
    TCompareEntry compared;
    compared.Name = entry.Name;
    compared.Key = std::move(key);
    compared.IsFolder = entry.IsFolder && !entry.IsLink;
    compared.Size = entry.Size;
    if (entry.Seconds >= 0) {
        compared.Seconds = entry.Seconds;
    } else if (entry.Time >= 0) {
        compared.Seconds = SecondsOfTimeText(std::to_string(entry.Time) + "00");
        // "Dec  7 07:31" tells the minute; "Dec  7  2019" the day only.
        compared.Precision = entry.Modified.find(':') != std::string::npos ? 60 : 86400;
    }
    return compared;
}

std::vector<TCompareEntry> LocalCompareEntries(const std::string &folder)
{
    std::vector<TCompareEntry> entries;
    DIR *dir = ::opendir(folder.c_str());
    if (!dir)
        return entries;
    while (const dirent *item = ::readdir(dir)) {
        const std::string name = item->d_name;
        if (name == "." || name == "..")
            continue;
        struct stat info {}, own {};
        if (::fstatat(::dirfd(dir), item->d_name, &info, 0) != 0)
            continue;
        TCompareEntry entry;
        entry.Name = entry.Key = name;
        entry.IsFolder = S_ISDIR(info.st_mode);
        entry.Link = ::fstatat(::dirfd(dir), item->d_name, &own, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(own.st_mode);
        entry.Size = entry.IsFolder ? -1 : int64_t(info.st_size);
        entry.Seconds = info.st_mtim.tv_sec;
        entries.push_back(std::move(entry));
    }
    ::closedir(dir);
    return entries;
}

const char *ComparedText(TCompared compared)
{
    switch (compared) {
    case TCompared::OnlyHere:
        return "Only here";
    case TCompared::SizeDiffers:
        return "Size differs";
    case TCompared::NewerHere:
        return "Newer here";
    case TCompared::OlderHere:
        return "Older here";
    case TCompared::Same:
        break;
    }
    return "Same";
}
