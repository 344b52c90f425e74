// Watches the tree's selected folder (or the folder of a selected file)
// and that folder's parent, one change each, and says what it saw:
//   Changed: the folder changed (for a selected file: its folder);
//   Gone: the selected folder itself is gone;
//   ParentLost: the parent changed and the selected folder is no longer
//   there (renamed, moved, deleted).
// The tree decides what to do; a report ends both watches.
#pragma once

#include "FileChange.h"

#include <functional>
#include <memory>

class TdfsSystemTreeView;
class TTreeNode;

class TTreeWatch {
public:
    enum class TEvent { Changed, Gone, ParentLost };
    using TReport = std::function<void(TEvent, TTreeNode *node)>;

    TTreeWatch(TdfsSystemTreeView &tree, TReport report) : FTree(tree), FReport(std::move(report)) {}
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
    TReport FReport;
    std::shared_ptr<TFileChangeThread> FWatcher, FParentWatcher;
    TTreeNode *FWatchedNode = nullptr;
    TTreeNode *FParentNode = nullptr;
};
