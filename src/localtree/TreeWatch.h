// Keeps the local tree current: after each selection change the tree
// watches the selected folder (or the folder of a selected file) and that
// folder's parent, one change each, and reacts when a watcher fires:
//   the watched folder changed: its node is read anew and watched again;
//   it is gone: its parent is read anew and selected;
//   the parent changed and the watched folder is no longer there (renamed,
//   moved, deleted): the whole tree is rebuilt around the parent.
// Only the tree's public operations are used.
#pragma once

#include "FileChange.h"

#include <memory>

class TdfsSystemTreeView;
class TTreeNode;

class TTreeWatch {
public:
    explicit TTreeWatch(TdfsSystemTreeView &tree) : FTree(tree) {}
    ~TTreeWatch() { Stop(); }

    void Start(TTreeNode *node);
    // Stops both watchers; a stopped watcher never calls back.
    void Stop();
    // A node is deleted: a watch on it ends.
    void Forget(TTreeNode *node);
    TTreeNode *WatchedNode() const { return FWatchedNode; }
    TTreeNode *ParentNode() const { return FParentNode; }
    // The folders watched now ("" for none), for those who want to wait.
    const std::shared_ptr<TFileChangeThread> &Watcher() const { return FWatcher; }
    const std::shared_ptr<TFileChangeThread> &ParentWatcher() const { return FParentWatcher; }

private:
    void WatchedFolderChanged();
    void ParentFolderChanged();
    void StopParent();

    TdfsSystemTreeView &FTree;
    std::shared_ptr<TFileChangeThread> FWatcher, FParentWatcher;
    TTreeNode *FWatchedNode = nullptr;
    TTreeNode *FParentNode = nullptr;
};
