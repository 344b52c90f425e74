#include "RemoteTree.h"

#include "FailureText.h"
#include "IdException.h"
#include "RemoteName.h"
#include "RemoteSession.h"

#include <utility>
#include <vector>

namespace {

// "1 file", "3 folders".
QString Count(size_t count, const char *what)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(what)).arg(count == 1 ? "" : "s");
}

void StopWhenAsked(const TRemoteWalkRules &rules)
{
    if (rules.Stop && rules.Stop())
        throw EIdTransferAborted("Transfer aborted.");
}

}  // namespace

bool SafeEntryName(const std::string &name)
{
    return !name.empty() && name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

TRemoteWalk WalkRemoteTree(TRemoteSession &remote, const std::string &top, const TRemoteWalkRules &rules,
                           const std::function<void(const std::string &folder, const TListingEntry &entry, int depth)> &visit)
{
    TRemoteWalk walk;
    std::vector<std::pair<std::string, int>> folders{{top, 0}};
    for (size_t i = 0; i < folders.size(); ++i) {
        if (rules.Stop && rules.Stop())
            return walk;
        const auto [folder, depth] = folders[i];
        remote.EnterFolder(folder);
        ++walk.Folders;
        const TFolderListing listing = remote.List(rules.Limits, [&, depth = depth](TListingEntry &&entry) {
            if (!SafeEntryName(entry.Name)) {
                if (rules.Unsafe)
                    rules.Unsafe(folder, entry.Name);
                return;
            }
            if (entry.IsFolder && !entry.IsLink && (!rules.Enter || rules.Enter(folder, entry, depth + 1))) {
                if (rules.MaxDepth < 0 || depth + 1 < rules.MaxDepth)
                    folders.emplace_back(RemoteJoin(folder, entry.Name), depth + 1);
                else
                    walk.DepthReached = true;
            }
            visit(folder, entry, depth + 1);
        }, nullptr);
        if (listing.Cut != TFolderListing::ctNone || listing.LongLines > 0 || listing.InvalidLines > 0 ||
            listing.InvalidNames > 0) {
            walk.Incomplete = ListingNotes(listing, rules.Limits, QStringLiteral("the rest was not read")).join(' ');
            walk.IncompleteFolder = folder;
            return walk;
        }
    }
    return walk;
}

TRemoteDeletion DeleteRemoteTree(TRemoteSession &remote, const std::string &parent, const std::string &name,
                                 TRemoteWalkRules rules, const std::function<bool(const QString &question)> &confirm,
                                 const std::function<void(const QString &line)> &log)
{
    const std::string top = RemoteJoin(parent, name);
    const QString caption = RemoteDisplayName(name);
    // Files (links too: DELE takes the link, not what it leads to) and
    // folders, each folder after its parent.
    std::vector<std::string> files, folders{top};
    rules.Unsafe = [&log](const std::string &, const std::string &unsafe) {
        log("Kept \"" + RemoteDisplayName(unsafe) + "\": it is not a name that can be deleted safely.");
    };
    const TRemoteWalk walk = WalkRemoteTree(remote, top, rules, [&](const std::string &folder, const TListingEntry &entry, int) {
        (entry.IsFolder && !entry.IsLink ? folders : files).push_back(RemoteJoin(folder, entry.Name));
    });
    StopWhenAsked(rules);
    // What a listing does not show cannot be deleted: nothing goes.
    if (!walk.Incomplete.isEmpty()) {
        const QString reason = QStringLiteral("Kept \"%1\": the listing of \"%2\" could not be read whole, and "
                                              "nothing was deleted. %3")
                                   .arg(caption, RemoteDisplayName(walk.IncompleteFolder), walk.Incomplete);
        log(reason);
        return {TRemoteDeletion::Incomplete, reason};
    }
    QString question = QStringLiteral("Delete \"%1\" from the server? This cannot be undone.").arg(caption);
    if (files.size() + folders.size() > 1)
        question = QStringLiteral("Delete the folder \"%1\" with %2 and %3 from the server? This cannot be undone.")
                       .arg(caption, Count(files.size(), "file"), Count(folders.size() - 1, "folder"));
    if (!confirm(question))
        return {TRemoteDeletion::Declined, QStringLiteral("Kept: not deleted.")};
    // Out of the folder first: a server may refuse to remove where it is.
    remote.EnterFolder(parent);
    for (const std::string &file : files) {
        StopWhenAsked(rules);
        remote.Delete(file);
    }
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        StopWhenAsked(rules);
        remote.RemoveFolder(*folder);
    }
    log(QStringLiteral("Deleted \"%1\" from the server: %2 and %3.")
            .arg(caption, Count(files.size(), "file"), Count(folders.size(), "folder")));
    return {TRemoteDeletion::Deleted, {}};
}
