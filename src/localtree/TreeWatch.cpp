#include "TreeWatch.h"

#include "SystemTreeView.h"
#include "IdLocalPath.h"

#include <utility>



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
    // A selected file is watched through its folder.
    TTreeNode *folder = node;
    if (FTree.ShowFiles() && KindOf(path) == TKind::File) {
        path = LocalPath::WithSlash(LocalPath::FolderPart(path));
        folder = node->Parent();
    }
    if (path.empty())
        return;
    FWatchedNode = node;
    const bool everything = FTree.ShowFiles() || FTree.ListView();
    const unsigned kinds = everything ? fncFileName | fncDirName | fncAttributes | fncSize | fncLastWrite : fncDirName;
    FWatcher = TFileChangeThread::Create(path, kinds, false);
    FWatcher->OnTerminate = [this](TFileChangeThread *) { FTree.Guarded([this] { WatchedFolderChanged(); }); };

    FParentNode = folder ? folder->Parent() : nullptr;
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
    TTreeNode *node = std::exchange(FWatchedNode, nullptr);
    if (!node)
        return;
    switch (KindOf(FTree.GetNodePathBytes(node))) {
    case TKind::Folder:
        FReport(TEvent::Changed, node);
        break;
    case TKind::File:
        // A file is watched through its folder: that folder changed.
        FReport(TEvent::Changed, node->Parent() ? node->Parent() : node);
        break;
    case TKind::Gone:
        FReport(TEvent::Gone, node);
        break;
    case TKind::None:
        break;
    }
}

void TTreeWatch::ParentFolderChanged()
{
    FParentWatcher.reset();
    TTreeNode *parent = std::exchange(FParentNode, nullptr);
    // A change beside the watched folder, which is still there, is no news.
    if (!FWatchedNode || !FWatcher || KindOf(FWatcher->WatchedFolder) == TKind::Folder)
        return;
    Stop();
    FReport(TEvent::ParentLost, parent);
}
