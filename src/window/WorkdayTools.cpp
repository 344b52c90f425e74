#include "WorkdayTools.h"

#include "Application.h"
#include "BrowsingSession.h"
#include "FileListView.h"
#include "EditInPlace.h"
#include "FolderCompare.h"
#include "IdGlobal.h"
#include "IdLocalPath.h"
#include "KeepAlive.h"
#include "NameBytes.h"
#include "LineEnds.h"
#include "Permissions.h"
#include "PermissionsDialog.h"
#include "Protocols.h"
#include "RemoteName.h"
#include "RemoteSearchDialog.h"
#include "RemoteView.h"
#include "SyncBrowsing.h"
#include "SystemTreeView.h"
#include "TreeComparison.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QScopeGuard>
#include <QTabWidget>
#include <QTimer>

#include <sys/stat.h>

#include <set>

TWorkdayTools::TWorkdayTools(TWindowServices &window, const TParts &parts, const TWidgets &widgets, QObject *parent)
    : QObject(parent), Permissions(new QAction("&Permissions...", this)), CopyUrl(new QAction("Copy &URL", this)),
      UploadNewer(new QAction("Upload &Newer...", this)), DownloadNewer(new QAction("Download N&ewer...", this)),
      Filters(new QAction("Filename &Filters...", this)), Find(new QAction("F&ind Remote Files...", this)),
      FWindow(window), P(parts), W(widgets),
      FCompare(new TFolderCompare(parts.RemoteView, {widgets.LocalTree, widgets.RemoteFolders, widgets.RemoteFiles},
                                  [this] { return P.Transfers.LocalTargetFolder(); }, this)),
      FEditing(new TEditInPlace(window, parts.Browsing, parts.RemoteView,
                                {[&runner = parts.Runner](const std::string &name) {
                                     const TTransferRunner::TOptions &options = runner.Options();
                                     return options.TextAsAscii && IsTextType(name, options.TextTypes.toStdString());
                                 },
                                 [&runner = parts.Runner] { return runner.Options().PreserveTimes; }},
                                this)),
      FSync(new TSyncBrowsing(window, parts.Browsing, parts.RemoteView, parts.Transfers, this)),
      FKeepAlive(std::make_unique<TKeepAlive>(parts.Browsing, [this] { return FWindow.Online(); }))
{
    Permissions->setObjectName("actPermissions");
    Permissions->setShortcut(QKeySequence("Ctrl+Shift+P"));
    Permissions->setStatusTip("Read, write and execute for owner, group and others of the chosen items.");
    CopyUrl->setObjectName("actCopyUrl");
    CopyUrl->setShortcut(QKeySequence("Ctrl+Shift+C"));
    CopyUrl->setStatusTip("Put the chosen items' addresses on the clipboard, without the password.");
    UploadNewer->setObjectName("actUploadNewer");
    UploadNewer->setStatusTip("Upload the local files that are newer than the server's, or that it lacks.");
    DownloadNewer->setObjectName("actDownloadNewer");
    DownloadNewer->setStatusTip("Download the server's files that are newer than the local ones, or that they lack.");
    for (QAction *action : OnlineActions())
        action->setEnabled(false);
    connect(Permissions, &QAction::triggered, this, Guarded([this] { ChangePermissions(); }));
    connect(CopyUrl, &QAction::triggered, this, Guarded([this] { CopyAddresses(); }));
    connect(UploadNewer, &QAction::triggered, this, Guarded([this] { MoveNewer(true); }));
    connect(DownloadNewer, &QAction::triggered, this, Guarded([this] { MoveNewer(false); }));
    connect(FEditing->Edit, &QAction::triggered, this, Guarded([this] { FEditing->EditSelected(); }));
    Filters->setObjectName("actFilters");
    Filters->setStatusTip("Hide files and folders by name, type or size, on both sides and in folder transfers.");
    connect(Filters, &QAction::triggered, this, Guarded([this] { EditFilters(); }));
    Find->setObjectName("actFindRemote");
    Find->setShortcut(QKeySequence("Ctrl+Shift+F"));
    Find->setStatusTip("Find files below the remote folder by name, size and date, on a connection of its own.");
    Find->setEnabled(false);
    connect(Find, &QAction::triggered, this, Guarded([this] { FindFiles(); }));
    const TNameFilters &filters = P.Runner.Filters;
    P.RemoteView.Hides = [&filters](const TListingEntry &entry) {
        return filters.Active() &&
               filters.Hides(RemoteDisplayName(entry.Name), entry.IsFolder && !entry.IsLink, entry.Size);
    };
    FCompare->Hides = [&filters](const std::string &name, bool folder, int64_t size) {
        return filters.Active() && filters.Hides(TextFromBytes(name), folder, size);
    };
    W.LocalTree->Hides = [&filters](const std::string &path, bool folder) {
        if (!filters.Active())
            return false;
        struct stat info {};
        const int64_t size = !folder && ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_size) : -1;
        return filters.Hides(TextFromBytes(LocalPath::NamePart(path)), folder, size);
    };
    // The settings are read after the window is made: the sign follows.
    QTimer::singleShot(0, this, [this] {
        W.LocalPage->setTabText(0, P.Runner.Filters.Active() ? "Local System (filtered)" : "Local System");
    });
    // Each side follows the other once the change that moved it is done.
    connect(&P.RemoteView, &TRemoteView::Listed, this, Guarded([this] { FSync->RemoteChanged(); }), Qt::QueuedConnection);
    connect(W.LocalTree->selectionModel(), &QItemSelectionModel::currentChanged, this,
            Guarded([this] { FSync->LocalChanged(); }), Qt::QueuedConnection);
}

QAction *TWorkdayTools::Edit() const
{
    return FEditing->Edit;
}

bool TWorkdayTools::MayClose()
{
    return FEditing->MayClose();
}

TWorkdayTools::~TWorkdayTools() = default;

QList<QAction *> TWorkdayTools::OnlineActions() const
{
    return {Permissions, CopyUrl, UploadNewer, DownloadNewer, FEditing->Edit, Find};
}

QList<QAction *> TWorkdayTools::ViewItems() const
{
    return {FCompare->Toggle, FCompare->ByTime, FSync->Toggle, Filters};
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
            chosen.Mode = ModeOfPermissionText(folder->Permissions);
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

void TWorkdayTools::MoveNewer(bool upload)
{
    if (!FWindow.Online())
        return;
    if (!FCompare->On()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(),
                                  "Turn on View > Compare Folders (Ctrl+O) first: it finds the newer files.");
        return;
    }
    FCompare->Refresh();
    const std::string localFolder = P.Transfers.LocalTargetFolder();
    const std::string remoteFolder = P.RemoteView.ListedFolder();
    if (localFolder.empty() || !P.RemoteView.ListingCurrent())
        return;
    // The chosen items only, where some are chosen (a folder with all it
    // holds): the remote views' for a download, the local tree's file for
    // an upload. Else the whole tree below the two folders.
    TTreeCompareRules rules;
    if (!upload)
        for (const TPermissionItem &item : ChosenItems(P.RemoteView, *W.RemoteFiles).Items)
            rules.Chosen.insert(LocalNameFor(item.Name));
    else if (TTreeNode *node = W.LocalTree->Selected(); node && !LocalPath::IsFolder(W.LocalTree->GetNodePathBytes(node)))
        rules.Chosen.insert(LocalPath::NamePart(W.LocalTree->GetNodePathBytes(node)));
    rules.By = FCompare->ByTime->isChecked() ? TCompareBy::SizeAndTime : TCompareBy::Size;
    rules.Walk.Limits = P.RemoteView.ListingLimits;
    // Deep enough for any site; a server that lists a loop as folders
    // ends here.
    rules.Walk.MaxDepth = 32;
    rules.Walk.Stop = [this] { return !FWindow.Online(); };
    rules.Walk.Unsafe = [this](const std::string &folder, const std::string &name) {
        FWindow.AddToLog(UnsafeNameSkipped(RemoteJoin(folder, name)));
    };
    const TNameFilters &filters = P.Runner.Filters;
    rules.Hides = [&filters](const TCompareEntry &entry) {
        return filters.Active() && filters.Hides(TextFromBytes(entry.Key), entry.IsFolder, entry.Size);
    };
    TTreeComparison result;
    {
        FWindow.SetBusyCursor(true);
        const auto done = qScopeGuard([this] {
            FWindow.SetBusyCursor(false);
            // The walk left the connection in another folder.
            P.RemoteView.RefreshIfFree();
        });
        result = CompareTrees(P.Browsing, localFolder, remoteFolder, rules);
    }
    if (!result.Walk.Incomplete.isEmpty()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(),
                                  "Nothing was queued: a listing came short. " + result.Walk.Incomplete);
        return;
    }
    std::vector<TTransferItem> items;
    QStringList lines;
    std::set<std::string> localFolders;
    for (const TTreeNewer &newer : upload ? result.LocalNewer : result.RemoteNewer) {
        const TCompareEntry &entry = newer.Entry;
        TTransferItem item;
        item.Direction = upload ? TTransferDirection::Upload : TTransferDirection::Download;
        item.RemoteFolder = newer.RemoteFolder;
        item.RemoteName = upload ? RemoteNameFor(entry.Name) : entry.Name;
        item.LocalPath = newer.LocalFolder + entry.Key;
        item.Size = entry.Size;
        if (!upload && entry.Seconds >= 0 && entry.Precision == 1)
            item.Time = TimeTextOfSeconds(entry.Seconds);
        // The user saw the list: no second question per file.
        item.Confirmed = true;
        items.push_back(std::move(item));
        localFolders.insert(newer.LocalFolder);
        lines << (upload ? TextFromBytes(newer.Path) : RemoteDisplayName(newer.Path)) + " (" +
                     QString(ComparedText(newer.Mark)).toLower() + ')';
    }
    const QString where = upload ? QStringLiteral("to the server") : QStringLiteral("from the server");
    if (items.empty()) {
        UserDialogs().ShowMessage(FWindow.DialogOwner(), QStringLiteral("No file here is newer: nothing to move %1.").arg(where));
        return;
    }
    constexpr int Shown = 20;
    QString question = QStringLiteral("%1 %2 %3 %4?\n\n")
                           .arg(upload ? "Upload" : "Download")
                           .arg(items.size())
                           .arg(items.size() == 1 ? "file" : "files", where) +
                       lines.mid(0, Shown).join('\n');
    if (lines.size() > Shown)
        question += QStringLiteral("\n... and %1 more").arg(lines.size() - Shown);
    if (result.Walk.DepthReached)
        question += QStringLiteral("\n\nFolders deeper than %1 levels were not compared.").arg(rules.Walk.MaxDepth);
    if (!UserDialogs().Confirm(FWindow.DialogOwner(), question))
        return;
    // Downloads into folders only the server has: the folders come first.
    if (!upload)
        for (const std::string &folder : localFolders)
            if (!QDir().mkpath(QFile::decodeName(folder.c_str())))
                FWindow.AddToLog("Cannot create the folder " + TextFromBytes(folder));
    P.Runner.Enqueue(std::move(items));
}

void TWorkdayTools::EditFilters()
{
    std::vector<TNameFilter> rules = P.Runner.Filters.Rules();
    if (!UserDialogs().EditFilters(FWindow.DialogOwner(), rules) || rules == P.Runner.Filters.Rules())
        return;
    P.Runner.Filters.SetRules(std::move(rules));
    FiltersChanged();
}

void TWorkdayTools::FiltersChanged()
{
    W.LocalPage->setTabText(0, P.Runner.Filters.Active() ? "Local System (filtered)" : "Local System");
    // The tree reads its folders anew, where it was.
    const std::string chosen = W.LocalTree->SelectionBytes();
    W.LocalTree->Reset();
    if (!chosen.empty())
        P.Transfers.SelectLocalFolder(TextFromBytes(chosen));
    P.RemoteView.RefreshIfFree();
}

void TWorkdayTools::FindFiles()
{
    if (!FWindow.Online())
        return;
    if (!FSearch)
        FSearch = new TRemoteSearchDialog(FWindow, {P.Browsing, P.RemoteView, P.Transfers, P.Runner}, MakeSession,
                                          FWindow.DialogOwner());
    FSearch->Begin();
}
