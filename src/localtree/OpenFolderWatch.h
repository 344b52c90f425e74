// Keeps every open folder of the tree current, not only the selected one:
// a folder made on disk inside an open folder shows without a Refresh.
// One inotify descriptor holds a watch per open folder (up to a cap; a
// watch costs the kernel about a kilobyte), read on the user-interface
// thread. A burst of changes in a folder reads it anew once, a moment
// after the last; the tree keeps its open folders and selection.
// The selected folder keeps its own watcher and rules (TTreeWatch).
#pragma once

#include <QObject>

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

class QSocketNotifier;
class QTimer;
class TdfsSystemTreeView;
class TTreeNode;

class TOpenFolderWatch : public QObject {
    Q_OBJECT
public:
    static constexpr size_t MaxWatches = 4096;

    explicit TOpenFolderWatch(TdfsSystemTreeView &tree);
    ~TOpenFolderWatch() override;

    // The node was opened: watch its folder, if it has one.
    void Watch(TTreeNode *node);
    // The node was closed or is going.
    void Forget(TTreeNode *node);
    bool Watching(TTreeNode *node) const { return FWatchOf.count(node) > 0; }
    size_t Count() const { return FWatchOf.size(); }

private:
    void Readable();
    void RefreshDue();

    TdfsSystemTreeView &FTree;
    int FDescriptor = -1;
    QSocketNotifier *FNotifier = nullptr;
    QTimer *FDelay = nullptr;
    // One folder may be open at several nodes; the kernel gives it one watch.
    std::unordered_map<TTreeNode *, int> FWatchOf;
    std::unordered_map<int, std::vector<TTreeNode *>> FNodesOf;
    std::unordered_set<TTreeNode *> FDue;
};
