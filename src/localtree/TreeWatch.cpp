#include "TreeWatch.h"

#include "SystemTreeView.h"
#include "IdLocalPath.h"

#include <QScopeGuard>


namespace {

using LocalPath::KindOf;
using LocalPath::TKind;

}  // namespace

void TTreeWatch::Stop()
{
    if (FWatcher)
        FWatcher->Terminate();
    FWatcher.reset();
    FWatchedNode = nullptr;
    StopParent();
}

void TTreeWatch::StopParent()
{
    if (FParentWatcher)
        FParentWatcher->Terminate();
    FParentWatcher.reset();
    FParentNode = nullptr;
}

void TTreeWatch::Forget(TTreeNode *node)
{
    if (node && (node == FWatchedNode || node == FParentNode))
        Stop();
}

void TTreeWatch::Start(TTreeNode *node)
{
    Stop();
    std::string path = FTree.GetNodePathBytes(node);
    if (FTree.ShowFiles() && KindOf(path) == TKind::File)
        path = LocalPath::WithSlash(LocalPath::FolderPart(path));
    if (path.empty())
        return;
    FWatchedNode = node;
    const bool everything = FTree.ShowFiles() || FTree.ListView();
    const unsigned kinds = everything ? fncFileName | fncDirName | fncAttributes | fncSize | fncLastWrite : fncDirName;
    FWatcher = TFileChangeThread::Create(path, kinds, false);
    FWatcher->OnTerminate = [this](TFileChangeThread *) { FTree.Guarded([this] { WatchedFolderChanged(); }); };

    FParentNode = node->Parent();
    const std::string parentPath = FTree.GetNodePathBytes(FParentNode);
    if (FParentNode && !parentPath.empty()) {
        FParentWatcher = TFileChangeThread::Create(parentPath, fncDirName, false);
        FParentWatcher->OnTerminate = [this](TFileChangeThread *) {
            FTree.Guarded([this] { ParentFolderChanged(); });
        };
    } else {
        FParentNode = nullptr;
    }
}

void TTreeWatch::WatchedFolderChanged()
{
    FWatcher.reset();
    StopParent();
    TTreeNode *node = FWatchedNode;
    if (!node)
        return;
    const std::string path = FTree.GetNodePathBytes(node);
    FTree.BeginUpdate();
    const auto end = qScopeGuard([this] { FTree.EndUpdate(); });
    switch (KindOf(path)) {
    case TKind::Folder: {
        const bool wasOpen = FTree.IsExpanded(node);
        FWatchedNode = nullptr;
        FTree.RefreshNode(node);
        if (wasOpen) {
            FTree.Expand(node);
            FTree.MakeVisible(node);
        }
        Start(node);
        break;
    }
    case TKind::File: {
        // A file is watched through its folder: that folder changed. It is
        // read anew and the file stays selected while it is there.
        TTreeNode *folder = node->Parent();
        if (!folder) {
            Start(node);
            break;
        }
        FWatchedNode = nullptr;
        const bool wasOpen = FTree.IsExpanded(folder);
        FTree.RefreshNode(folder);
        if (wasOpen)
            FTree.Expand(folder);
        FTree.SetSelectionBytes(path);
        Start(FTree.Selected());
        break;
    }
    case TKind::Gone: {
        TTreeNode *parent = node->Parent();
        FWatchedNode = nullptr;
        if (!parent)
            break;
        const bool wasOpen = FTree.IsExpanded(parent);
        FTree.RefreshNode(parent);
        if (wasOpen) {
            FTree.Expand(parent);
            FTree.MakeVisible(parent);
        }
        FTree.SetSelected(parent);
        break;
    }
    case TKind::None:
        break;
    }
}

void TTreeWatch::ParentFolderChanged()
{
    FParentWatcher.reset();
    TTreeNode *parent = FParentNode;
    FParentNode = nullptr;
    if (!FWatchedNode || KindOf(FTree.GetNodePathBytes(FWatchedNode)) == TKind::Folder)
        return;
    if (parent)
        FTree.SetSelected(parent);
    FTree.Reset();
}
