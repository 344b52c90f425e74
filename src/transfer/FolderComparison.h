// Two folders' entries compared by name: what only one side has, what is
// the same, and where the sizes or times differ. Times are compared to the
// precision the coarser side gives: a server's "ls" lines tell minutes (or,
// for older files, days), so a local file's seconds are not held against
// them.
#pragma once

#include "ListingParser.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct TCompareEntry {
    // The name as its side writes it, and as both sides match it (a
    // remote name in the site's charset becomes the local name's bytes).
    std::string Name, Key;
    bool IsFolder = false;
    // A symbolic link (a local one; a remote link is compared as a file).
    bool Link = false;
    int64_t Size = -1;
    // Seconds since 1970 (UTC), -1 when unknown; and how exact: 1, 60 or
    // 86400 seconds.
    int64_t Seconds = -1;
    int Precision = 1;
};

// What one side's entry is, against the other side's.
enum class TCompared { OnlyHere, Same, SizeDiffers, NewerHere, OlderHere };

enum class TCompareBy { Size, SizeAndTime };

struct TFolderComparison {
    // By each side's own name.
    std::unordered_map<std::string, TCompared> Local, Remote;
    // The files that "Upload newer" and "Download newer" move: those only
    // one side has, and those whose time is later on that side (also when
    // the sizes differ). A differing size with no time to tell by moves
    // neither way: which copy counts is the user's to say.
    std::vector<TCompareEntry> LocalNewer, RemoteNewer;
};

TFolderComparison CompareFolders(const std::vector<TCompareEntry> &local, const std::vector<TCompareEntry> &remote,
                                 TCompareBy by);

// A listing's entry as the comparison takes it: its exact time where the
// listing gave one, else its minute or day as UTC.
TCompareEntry CompareEntryOf(const TListingEntry &entry, std::string key);

// A local folder's entries (hidden ones too) as the comparison takes
// them, with what links lead to; nothing when it cannot be read.
std::vector<TCompareEntry> LocalCompareEntries(const std::string &folder);

// What the user reads of a mark: "Newer here".
const char *ComparedText(TCompared compared);
