#include "Permissions.h"

#include "IdException.h"
#include "RemoteName.h"
#include "RemoteSession.h"

int ModeOfPermissionText(const std::string &text)
{
    // The type's letter, then three triplets.
    if (text.size() < 10)
        return -1;
    int mode = 0;
    for (int i = 0; i < 9; ++i) {
        const char c = text[size_t(i) + 1];
        const char letter = "rwxrwxrwx"[i];
        const int bit = 1 << (8 - i);
        if (c == letter) {
            mode |= bit;
        } else if (i % 3 == 2 && (c == 's' || c == 'S' || c == 't' || c == 'T')) {
            // Set-user, set-group or sticky, with (lower case) or without
            // execute.
            mode |= i == 8 ? 01000 : i == 5 ? 02000 : 04000;
            if (c == 's' || c == 't')
                mode |= bit;
        } else if (c != '-') {
            return -1;
        }
    }
    return mode;
}

int ModeOfOctalText(const QString &text)
{
    bool number = false;
    const int mode = text.trimmed().toInt(&number, 8);
    return number && !text.trimmed().isEmpty() && text.trimmed().size() <= 4 && mode >= 0 && mode <= 07777 ? mode : -1;
}

TPermissionResult ChangePermissions(TRemoteSession &remote, const std::string &folder,
                                    const std::vector<TPermissionItem> &items, const TPermissionChange &change,
                                    const TRemoteWalkRules &rules, const std::function<void(const QString &)> &log)
{
    TPermissionResult result;
    const auto apply = [&](const std::string &path) {
        try {
            remote.ChangePermissions(path, change.Mode);
            ++result.Changed;
        } catch (const EIdProtocolReplyError &refusal) {
            ++result.Refused;
            log(QStringLiteral("The server refused the permissions of %1: %2")
                    .arg(RemoteDisplayName(path), QString::fromStdString(refusal.what())));
        }
    };
    // Into folders, the scope holds for the chosen items as for what they
    // hold: "Files only" must never lock a site's folder.
    const auto inScope = [&change](bool isFolder) {
        return !change.Recursive || change.ApplyTo == TPermissionChange::FilesAndFolders ||
               isFolder == (change.ApplyTo == TPermissionChange::FoldersOnly);
    };
    for (const TPermissionItem &item : items) {
        const std::string path = RemoteJoin(folder, item.Name);
        if (change.Recursive && item.IsFolder) {
            // All of it listed first, then changed from the deepest up: bits
            // that take a folder's reading or entering away would otherwise
            // hide the rest from the walk.
            std::vector<std::string> targets;
            const TRemoteWalk walk = WalkRemoteTree(remote, path, rules, [&](const std::string &in, const TListingEntry &entry, int) {
                // chmod on a link reaches what it leads to, maybe outside.
                if (entry.IsLink)
                    return;
                if (inScope(entry.IsFolder))
                    targets.push_back(RemoteJoin(in, entry.Name));
            });
            if (rules.Stop && rules.Stop())
                throw EIdTransferAborted("Transfer aborted.");
            for (auto target = targets.rbegin(); target != targets.rend(); ++target)
                apply(*target);
            if (!walk.Incomplete.isEmpty() && result.Incomplete.isEmpty())
                result.Incomplete = RemoteDisplayName(walk.IncompleteFolder) + ": " + walk.Incomplete;
        }
        if (inScope(item.IsFolder))
            apply(path);
    }
    return result;
}
