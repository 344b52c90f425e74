#include "WorkdayTools.h"

#include "BrowsingSession.h"
#include "FileListView.h"
#include "FolderCompare.h"
#include "KeepAlive.h"
#include "Permissions.h"
#include "PermissionsDialog.h"
#include "Protocols.h"
#include "RemoteName.h"
#include "RemoteView.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QScopeGuard>

TWorkdayTools::TWorkdayTools(TWindowServices &window, const TParts &parts, const TWidgets &widgets, QObject *parent)
    : QObject(parent), Permissions(new QAction("&Permissions...", this)), CopyUrl(new QAction("Copy &URL", this)),
      FWindow(window), P(parts), W(widgets),
      FCompare(new TFolderCompare(parts.RemoteView, {widgets.LocalTree, widgets.RemoteFolders, widgets.RemoteFiles},
                                  [this] { return P.Transfers.LocalTargetFolder(); }, this)),
      FKeepAlive(std::make_unique<TKeepAlive>(parts.Browsing, [this] { return FWindow.Online(); }))
{
    Permissions->setObjectName("actPermissions");
    Permissions->setShortcut(QKeySequence("Ctrl+Shift+P"));
    Permissions->setStatusTip("Read, write and execute for owner, group and others of the chosen items.");
    CopyUrl->setObjectName("actCopyUrl");
    CopyUrl->setShortcut(QKeySequence("Ctrl+Shift+C"));
    CopyUrl->setStatusTip("Put the chosen items' addresses on the clipboard, without the password.");
    for (QAction *action : OnlineActions())
        action->setEnabled(false);
}

TWorkdayTools::~TWorkdayTools() = default;

QList<QAction *> TWorkdayTools::CompareItems() const
{
    return {FCompare->Toggle, FCompare->ByTime};
}

namespace {

struct TChosen {
    std::vector<TPermissionItem> Items;
    QStringList Captions;
    // The listed bits of the chosen items where they agree, else -1.
    int Mode = -1;
    bool HasFolders = false;
};

// What the remote views have chosen, as the focus says: the folder in the
// folder tree (never ".."), else the files in the list.
TChosen ChosenItems(TRemoteView &view, TFileListView &files)
{
    TChosen chosen;
    if (view.Focus() == TRemoteView::TFocus::Folders) {
        if (const auto folder = view.SelectedFolder(); folder && folder->Name != "..") {
            chosen.Items.push_back({folder->Name, true});
            chosen.Captions << folder->Caption;
            chosen.HasFolders = true;
        }
        return chosen;
    }
    bool first = true;
    for (const int row : files.SelectedRows()) {
        const TRemoteItemModel::TEntry entry = files.Items()->Entry(row);
        chosen.Items.push_back({std::string(entry.RawName), false});
        chosen.Captions << files.Caption(row);
        const int mode = ModeOfPermissionText(std::string(entry.Permissions));
        chosen.Mode = first || mode == chosen.Mode ? mode : -1;
        first = false;
    }
    return chosen;
}

}  // namespace

void TWorkdayTools::ChangePermissions()
{
    if (!FWindow.Online())
        return;
    const TChosen chosen = ChosenItems(P.RemoteView, *W.RemoteFiles);
    if (chosen.Items.empty()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(), "Choose the files or the folder whose permissions change.");
        return;
    }
    TPermissionQuestion question;
    question.Names = chosen.Captions.size() == 1 ? '"' + chosen.Captions.front() + '"'
                                                 : QStringLiteral("%1 items").arg(chosen.Captions.size());
    question.Mode = chosen.Mode;
    question.HasFolders = chosen.HasFolders;
    TPermissionChange change;
    if (!UserDialogs().AskPermissions(FWindow.DialogOwner(), question, change))
        return;
    FWindow.SetBusyCursor(true);
    const auto done = qScopeGuard([this] {
        FWindow.SetBusyCursor(false);
        // The walk left the connection in another folder: listed anew
        // from the one shown.
        P.RemoteView.RefreshIfFree();
    });
    TRemoteWalkRules rules;
    rules.Limits = P.RemoteView.ListingLimits;
    rules.Stop = [this] { return !FWindow.Online(); };
    const TPermissionResult result =
        ::ChangePermissions(P.Browsing, P.RemoteView.ListedFolder(), chosen.Items, change, rules,
                            [this](const QString &line) { FWindow.AddToLog(line); });
    FWindow.AddToLog(QStringLiteral("Permissions set to %1 on %2 items%3.")
                         .arg(QString::number(change.Mode, 8).rightJustified(3, '0'))
                         .arg(result.Changed)
                         .arg(result.Refused ? QStringLiteral(", refused on %1").arg(result.Refused) : QString()));
    if (!result.Incomplete.isEmpty())
        UserDialogs().ShowMessage(FWindow.DialogOwner(),
                                  "Not everything was changed: a listing came short. " + result.Incomplete);
    else if (result.Refused > 0)
        UserDialogs().ShowError(FWindow.DialogOwner(),
                                QStringLiteral("The server refused the permissions of %1 of the items: the log "
                                               "says which.")
                                    .arg(result.Refused));
}

void TWorkdayTools::CopyAddresses()
{
    if (!FWindow.Online())
        return;
    const std::string folder = P.RemoteView.ListedFolder();
    const TChosen chosen = ChosenItems(P.RemoteView, *W.RemoteFiles);
    QStringList lines;
    for (const TPermissionItem &item : chosen.Items)
        lines << QString::fromStdString(RemoteUrl(P.Runner.Session(), RemoteJoin(folder, item.Name)) +
                                        (item.IsFolder ? "/" : ""));
    // Nothing chosen: the folder shown.
    if (lines.isEmpty())
        lines << QString::fromStdString(RemoteUrl(P.Runner.Session(), folder == "/" ? folder : folder + '/'));
    QGuiApplication::clipboard()->setText(lines.join('\n'));
    FWindow.AddToLog(lines.size() == 1 ? "Copied " + lines.front() : QStringLiteral("Copied %1 addresses.").arg(lines.size()));
}
