#include "FolderCompare.h"

#include "FileListView.h"
#include "IdLocalPath.h"
#include "RemoteName.h"
#include "RemoteView.h"
#include "SystemTreeView.h"

#include <QAction>
#include <QBrush>
#include <QTreeWidget>

namespace {

// Light enough for dark text, and told apart by words too.
QColor ColourOf(TCompared compared)
{
    switch (compared) {
    case TCompared::OnlyHere:
        return QColor(255, 236, 160);
    case TCompared::SizeDiffers:
        return QColor(255, 196, 196);
    case TCompared::NewerHere:
        return QColor(196, 238, 196);
    default:
        return {};
    }
}

}  // namespace

TFolderCompare::TFolderCompare(TRemoteView &remote, const TWidgets &widgets, std::function<std::string()> localFolder,
                               QObject *parent)
    : QObject(parent), Toggle(new QAction("&Compare Folders", this)), ByTime(new QAction("Compare &Times Too", this)),
      FRemote(remote), W(widgets), FLocalFolder(std::move(localFolder))
{
    Toggle->setObjectName("actCompareFolders");
    Toggle->setCheckable(true);
    Toggle->setShortcut(QKeySequence("Ctrl+O"));
    Toggle->setStatusTip("Mark the local and the remote folder's files against each other.");
    ByTime->setObjectName("actCompareTimes");
    ByTime->setCheckable(true);
    ByTime->setChecked(true);
    ByTime->setStatusTip("Compare the files' times as well as their sizes.");
    for (int compared = 0; compared <= int(TCompared::OlderHere); ++compared)
        FMarks.push_back({ComparedText(TCompared(compared)), ColourOf(TCompared(compared))});
    FSoon.setSingleShot(true);
    FSoon.setInterval(0);
    connect(&FSoon, &QTimer::timeout, this, [this] { Refresh(); });
    connect(Toggle, &QAction::toggled, this, [this](bool on) { SetOn(on); });
    connect(ByTime, &QAction::toggled, this, [this] { RefreshSoon(); });

    connect(&FWatcher, &QFileSystemWatcher::directoryChanged, this, [this] { RefreshSoon(); });
    connect(&FWatcher, &QFileSystemWatcher::fileChanged, this, [this] { RefreshSoon(); });
    connect(&FRemote, &TRemoteView::ListingStarted, this, [this] { FArriving.clear(); });
    connect(&FRemote, &TRemoteView::Listed, this, [this] {
        FRemoteEntries = std::move(FArriving);
        FArriving.clear();
        RefreshSoon();
    });
    // The local side: another folder chosen, or the folder's files changed.
    TSystemTreeModel &tree = W.LocalTree->Items();
    connect(W.LocalTree->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { RefreshSoon(); });
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&tree, signal, this, [this] { RefreshSoon(); });
    connect(&tree, &QAbstractItemModel::modelReset, this, [this] { RefreshSoon(); });
    W.RemoteFiles->Items()->MarkOf = [this](std::string_view name) -> const TRemoteItemModel::TMark * {
        if (!FOn)
            return nullptr;
        const auto found = FResult.Remote.find(std::string(name));
        return found == FResult.Remote.end() || found->second == TCompared::Same ? nullptr
                                                                                   : &FMarks[size_t(found->second)];
    };
    tree.ExtraData = [this](TTreeNode *node, int role) { return LocalData(node, role); };
}

void TFolderCompare::SetOn(bool on)
{
    if (on == FOn)
        return;
    FOn = on;
    if (!on) {
        FArriving.clear();
        FRemote.OnEntry = nullptr;
        Clear();
        return;
    }
    FRemote.OnEntry = [this](const TListingEntry &entry) {
        FArriving.push_back(CompareEntryOf(entry, LocalNameFor(entry.Name)));
    };
    // What is shown was listed before the comparison kept it: listed
    // anew (or at the next listing, when the connection is busy).
    FRemote.RefreshIfFree();
    RefreshSoon();
}

void TFolderCompare::Watch(const std::string &folder, const std::vector<TCompareEntry> &entries)
{
    if (!FWatcher.files().isEmpty())
        FWatcher.removePaths(FWatcher.files());
    if (folder != FWatched) {
        if (!FWatcher.directories().isEmpty())
            FWatcher.removePaths(FWatcher.directories());
        FWatched = folder;
        if (!folder.empty())
            FWatcher.addPath(QString::fromLocal8Bit(folder));
    }
    QStringList files;
    for (const TCompareEntry &entry : entries)
        if (!entry.IsFolder && files.size() < WatchedFiles)
            files << QString::fromLocal8Bit(folder + entry.Name);
    if (!files.isEmpty())
        FWatcher.addPaths(files);
}

void TFolderCompare::Clear()
{
    Watch({}, {});
    FResult = {};
    TTreeNode *node = Node();
    FNode = QPersistentModelIndex();
    if (node)
        W.LocalTree->Items().ChildrenChanged(node);
    W.RemoteFiles->Items()->MarksChanged();
    ShowRemoteFolders();
}

TTreeNode *TFolderCompare::Node() const
{
    return W.LocalTree->Items().NodeOf(FNode);
}

TTreeNode *TFolderCompare::FolderNode() const
{
    TTreeNode *node = W.LocalTree->Selected();
    if (node && !LocalPath::IsFolder(W.LocalTree->GetNodePathBytes(node)))
        node = node->Parent();
    return node;
}

void TFolderCompare::Refresh()
{
    if (!FOn)
        return;
    const std::string folder = FLocalFolder();
    const TCompareBy by = ByTime->isChecked() ? TCompareBy::SizeAndTime : TCompareBy::Size;
    std::vector<TCompareEntry> local = folder.empty() ? std::vector<TCompareEntry>{} : LocalCompareEntries(folder);
    if (Hides)
        std::erase_if(local, [this](const TCompareEntry &entry) { return Hides(entry.Name, entry.IsFolder, entry.Size); });
    Watch(folder, local);
    FResult = CompareFolders(local, FRemote.ListingCurrent() ? FRemoteEntries : std::vector<TCompareEntry>{}, by);
    TSystemTreeModel &tree = W.LocalTree->Items();
    TTreeNode *before = Node();
    TTreeNode *node = FolderNode();
    FNode = QPersistentModelIndex(tree.IndexOf(node));
    if (before && before != node)
        tree.ChildrenChanged(before);
    // A folder newly compared shows its files, where the marks are.
    if (node && node != before)
        W.LocalTree->Expand(node);
    // Opening it may have read it anew.
    if (TTreeNode *shown = Node())
        tree.ChildrenChanged(shown);
    W.RemoteFiles->Items()->MarksChanged();
    ShowRemoteFolders();
}

void TFolderCompare::ShowRemoteFolders()
{
    QTreeWidget &folders = *W.RemoteFolders;
    for (int i = 0; i < folders.topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = folders.topLevelItem(i);
        const QByteArray raw = item->data(0, TRemoteItemModel::RawNameRole).toByteArray();
        const auto found = FResult.Remote.find(raw.toStdString());
        const bool marked = FOn && found != FResult.Remote.end() && found->second != TCompared::Same;
        const TRemoteItemModel::TMark *mark = marked ? &FMarks[size_t(found->second)] : nullptr;
        item->setBackground(0, mark && mark->Colour.isValid() ? QBrush(mark->Colour) : QBrush());
        item->setToolTip(0, mark ? item->text(0) + '\n' + mark->Text : QString());
        item->setData(0, Qt::AccessibleDescriptionRole, mark ? mark->Text : QString());
    }
}

QVariant TFolderCompare::LocalData(TTreeNode *node, int role) const
{
    if (!FOn || !FNode.isValid() || node->Parent() != Node() ||
        (role != Qt::BackgroundRole && role != Qt::ToolTipRole && role != Qt::AccessibleDescriptionRole))
        return {};
    const auto found = FResult.Local.find(LocalPath::NamePart(W.LocalTree->GetNodePathBytes(node)));
    if (found == FResult.Local.end() || found->second == TCompared::Same)
        return {};
    const TRemoteItemModel::TMark &mark = FMarks[size_t(found->second)];
    if (role == Qt::BackgroundRole)
        return mark.Colour.isValid() ? QVariant(QBrush(mark.Colour)) : QVariant();
    return role == Qt::ToolTipRole ? node->Text + '\n' + mark.Text : mark.Text;
}
