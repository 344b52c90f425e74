// Permission bits as the permissions dialog shows them (read, write and
// execute for owner, group and others, and the octal number), and their
// change on the server: on the chosen items, and on request on all that
// their folders hold, files, folders or both.
#pragma once

#include "RemoteTree.h"

#include <QString>

#include <functional>
#include <string>
#include <vector>

// "-rwxr-xr-x" (and "drwsr-S--T"): the bits, 0 to 07777; -1 when the text
// is no such thing.
int ModeOfPermissionText(const std::string &text);
// "0755" or "755": the bits, or -1.
int ModeOfOctalText(const QString &text);

struct TPermissionChange {
    int Mode = 0644;
    // Into the chosen folders, with all they hold.
    bool Recursive = false;
    // Into folders: which entries take the bits, the chosen ones among
    // them.
    enum TApplyTo { FilesAndFolders, FilesOnly, FoldersOnly };
    TApplyTo ApplyTo = FilesAndFolders;
};

struct TPermissionItem {
    std::string Name;
    bool IsFolder = false;
};

// Changes the items of `folder` as `change` says; each refusal is logged
// ("... refused: 550 ...") and the rest go on. Returns how many took
// the bits, and how many were refused.
struct TPermissionResult {
    size_t Changed = 0, Refused = 0;
    // A folder's listing came short: what it hid was not changed.
    QString Incomplete;
};
TPermissionResult ChangePermissions(TRemoteSession &remote, const std::string &folder,
                                    const std::vector<TPermissionItem> &items, const TPermissionChange &change,
                                    const TRemoteWalkRules &rules, const std::function<void(const QString &)> &log);
