// A remote folder with all it holds, walked level by level: each folder is
// listed after its parent, by absolute path, on the session it is given.
// Deleting a folder, changing permissions below one, and searching all
// walk it so. Links are never followed: a walk could go round, or out of
// the folder.
#pragma once

#include "FolderListing.h"

#include <QString>

#include <functional>
#include <string>

class TRemoteSession;

struct TRemoteWalk {
    // Set when a listing could not be read whole: what came short, in the
    // words the log uses. What such a listing hid was not visited.
    QString Incomplete;
    // The folder that came short.
    std::string IncompleteFolder;
    // The walk stopped at the depth it was given: deeper folders were
    // not listed.
    bool DepthReached = false;
    // How many folders were listed.
    size_t Folders = 0;
};

struct TRemoteWalkRules {
    TFolderListingLimits Limits;
    // How many levels are listed, the top's included; -1: all.
    int MaxDepth = -1;
    // Asked between listings: true stops the walk (its caller raises).
    std::function<bool()> Stop;
    // A listed name that reads as a path would name something elsewhere:
    // it is not visited, and this hears it.
    std::function<void(const std::string &folder, const std::string &name)> Unsafe;
    // Asked of each folder found: false leaves it unlisted (and unvisited
    // below). Unset: every folder is listed.
    std::function<bool(const std::string &folder, const TListingEntry &entry, int depth)> Enter;
};

// Lists `top` and each folder below it; `visit` hears each entry with the
// absolute path of its folder and its depth (1: in `top`). A walk stops at
// the first listing that comes short.
TRemoteWalk WalkRemoteTree(TRemoteSession &remote, const std::string &top, const TRemoteWalkRules &rules,
                           const std::function<void(const std::string &folder, const TListingEntry &entry, int depth)> &visit);

// A remote folder deleted with all it holds, once `confirm` said yes to
// the question with the counts. Nothing goes when a listing came short.
// A stop between steps raises EIdTransferAborted.
struct TRemoteDeletion {
    enum TResult { Deleted, Declined, Incomplete };
    TResult Result = Deleted;
    // Why it was kept.
    QString Reason;
};
TRemoteDeletion DeleteRemoteTree(TRemoteSession &remote, const std::string &parent, const std::string &name,
                                 TRemoteWalkRules rules, const std::function<bool(const QString &question)> &confirm,
                                 const std::function<void(const QString &line)> &log);

// Whether a listed name names one entry of its folder: not a path, no NUL.
bool SafeEntryName(const std::string &name);
