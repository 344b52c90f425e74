// The folder comparison as the window shows it: while it is on, the local
// tree's folder and the remote folder mark their entries against each
// other (only here, the same, size differs, newer or older here), in
// colour and in words that the tooltip and screen readers give. It stays
// on while the user browses either side, and follows each listing.
#pragma once

#include "FolderComparison.h"
#include "RemoteItemModel.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QPersistentModelIndex>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

class QAction;
class QTreeWidget;
class TdfsSystemTreeView;
class TFileListView;
class TRemoteView;
class TTreeNode;

class TFolderCompare : public QObject {
public:
    struct TWidgets {
        TdfsSystemTreeView *LocalTree;
        QTreeWidget *RemoteFolders;
        TFileListView *RemoteFiles;
    };
    // `localFolder`: the local folder compared, with its slash, or "".
    TFolderCompare(TRemoteView &remote, const TWidgets &widgets, std::function<std::string()> localFolder,
                   QObject *parent);

    // The View menu's toggle (Ctrl+O), and whether times count too.
    QAction *const Toggle;
    QAction *const ByTime;

    bool On() const { return FOn; }
    // Local entries the filename filters hide are not compared, when set.
    std::function<bool(const std::string &name, bool folder, int64_t size)> Hides;
    // What the last comparison found, by each side's names.
    const TFolderComparison &Result() const { return FResult; }
    // Compares now rather than at the next turn of the event loop.
    void Refresh();

private:
    void SetOn(bool on);
    void RefreshSoon() { FSoon.start(); }
    void ShowRemoteFolders();
    void Clear();
    // The tree's node of the compared folder, or none.
    TTreeNode *FolderNode() const;
    QVariant LocalData(TTreeNode *node, int role) const;

    TRemoteView &FRemote;
    TWidgets W;
    std::function<std::string()> FLocalFolder;
    bool FOn = false;
    QTimer FSoon;
    // The compared local folder and its files: a file saved there is
    // compared anew.
    void Watch(const std::string &folder, const std::vector<TCompareEntry> &entries);
    QFileSystemWatcher FWatcher;
    std::string FWatched;
    static constexpr int WatchedFiles = 1000;
    // The remote folder's entries as listed, and those of a listing that
    // comes in.
    std::vector<TCompareEntry> FRemoteEntries, FArriving;
    TFolderComparison FResult;
    // The compared folder's node: a persistent index, since the tree may
    // re-read a folder above it and free the node at any time.
    QPersistentModelIndex FNode;
    TTreeNode *Node() const;
    // One mark for each kind, which the rows point at.
    std::vector<TRemoteItemModel::TMark> FMarks;
};
