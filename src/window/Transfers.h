// Moving files between the local disk and the current remote folder, as
// the user asks for it: download through the save dialog or by a drag
// onto the local tree, upload through the open dialog or by a drag onto
// the remote file list (from the local tree or from the desktop's file
// manager), and whole folders either way. Each request becomes
// items of the transfer queue, which moves them on a connection of its
// own while the user goes on browsing.
//
// Local paths are bytes, as the kernel takes them; a remote name keeps its
// bytes from the listing to the local file.
#pragma once

#include "TransferQueue.h"
#include "UserDialogs.h"

#include <optional>
#include <string>
#include <vector>

class QMimeData;
class QObject;
class TdfsSystemTreeView;
class TFileListView;
class TRemoteSession;
class TRemoteView;
class TTransferRunner;
class TWindowServices;

class TTransfers {
public:
    struct TWidgets {
        TdfsSystemTreeView *LocalTree;
        // Drags between the two go through here.
        TFileListView *RemoteFiles;
    };
    TTransfers(TWindowServices &window, TRemoteSession &session, TRemoteView &remoteView, TTransferRunner &runner,
               const TWidgets &widgets);
    // The widgets outlive this part: what they still report goes nowhere.
    ~TTransfers();

    // The dialogs, and what they propose and keep.
    TFileDialog DownloadDialog, UploadDialog;

    // Into the local tree's folder; the dialog when it has none.
    void DownloadSelected();
    // Through the save (or folder) dialog.
    void DownloadSelectedAs();
    // Queues one download into a local file the user chose.
    void DownloadFile(const std::string &remoteName, const std::string &localPath);
    void UploadChosen();
    // With the focus in the local tree: what it has chosen, a file or a
    // folder, goes up into the remote folder. False when the focus is
    // elsewhere, or nothing there can go.
    bool UploadFromLocalTree();
    // A local folder, chosen in the folder dialog, with all it holds.
    void UploadFolderChosen();
    // Queues a file, or a folder's files (IDE-hooks mode), as one request.
    void UploadPath(const std::string &path);

    bool FileListDragOver(QObject *source, const QMimeData *data);
    void FileListDragDrop(QObject *source, const QMimeData *data);
    bool TreeDragOver(QObject *source);
    void TreeDragDrop(QObject *source);
    void TreeChanged();
    // Selects a local folder (the settings' last one); false when the tree
    // cannot show it.
    bool SelectLocalFolder(const QString &folder);

    // The local tree's chosen folder (a chosen file's folder), with its
    // slash; empty when there is none to write to.
    std::string LocalTargetFolder() const;

private:
    // A local folder from the folder dialog, as bytes; none when cancelled.
    std::optional<std::string> ChooseFolder(const QString &title, const QString &initialDir);
    void DownloadInto(const std::string &folder, const std::vector<std::string> &names);
    // A remote folder of the listed one, with all it holds, into a local
    // folder: its folders are listed as the queue reaches them.
    void DownloadSelectedFolder();
    void DownloadFolderInto(const std::string &localFolder, const std::string &name);
    // Adds the items that upload `path` into the remote folder: a file, or
    // (IDE-hooks mode) a folder's files, sub-folders included.
    void CollectUploads(const std::string &path, const std::string &remoteFolder, std::vector<TTransferItem> &items);
    void UploadPaths(const std::vector<std::string> &paths);
    void CollectFolder(const std::string &path, const std::string &remoteFolder, std::vector<TTransferItem> &items);

    TWindowServices &FWindow;
    TRemoteSession &FSession;
    TRemoteView &FRemoteView;
    TTransferRunner &FRunner;
    TWidgets W;
};
