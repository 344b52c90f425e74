// Two folder trees compared folder by folder, for "Upload newer" and
// "Download newer": the files one side has and the other lacks, or has
// older, however deep. A folder only one side has counts with all it
// holds. The remote tree is walked on the session given; links to local
// folders are not followed, as uploads follow none.
#pragma once

#include "FolderComparison.h"
#include "RemoteTree.h"

#include <functional>
#include <set>
#include <string>
#include <vector>

class TRemoteSession;

struct TTreeNewer {
    // Where the file is and where it goes: the local folder with its
    // slash, the remote folder absolute (made by the upload where it is
    // missing).
    std::string LocalFolder, RemoteFolder;
    // The file as its own side lists it.
    TCompareEntry Entry;
    // Below the compared folders, in the side's own bytes: "css/site.css".
    std::string Path;
    TCompared Mark = TCompared::OnlyHere;
};

struct TTreeComparison {
    std::vector<TTreeNewer> LocalNewer, RemoteNewer;
    // The walk: where a listing came short nothing is to move, as the
    // missing entries could be the newer ones.
    TRemoteWalk Walk;
};

struct TTreeCompareRules {
    TCompareBy By = TCompareBy::SizeAndTime;
    // The remote walk's bounds and stop. Folders deeper than its depth
    // are compared on neither side.
    TRemoteWalkRules Walk;
    // What the filename filters hide, by the local form of the name.
    std::function<bool(const TCompareEntry &entry)> Hides;
    // Names (in local bytes) at the top that are compared; empty: all.
    std::set<std::string> Chosen;
};

TTreeComparison CompareTrees(TRemoteSession &remote, const std::string &localTop, const std::string &remoteTop,
                             const TTreeCompareRules &rules);
