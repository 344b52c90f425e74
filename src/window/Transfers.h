// Moving files between the local disk and the current remote folder:
// download through the save dialog or by a drag onto the local tree,
// upload through the open dialog or by a drag onto the remote file list
// (from the local tree or from the desktop's file manager), the folder
// upload of IDE-hooks mode, and the progress, speed and log lines of every
// data transfer.
//
// Local paths are bytes, as the kernel takes them; a remote name keeps its
// bytes from the listing to the local file.
#pragma once

#include "IdGlobal.h"
#include "OverwriteGuard.h"
#include "UserDialogs.h"

#include <QElapsedTimer>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class QLabel;
class QMimeData;
class QObject;
class QProgressBar;
class TdfsSystemTreeView;
class TIdFTP;
class TRemoteView;
class TWindowServices;

class TTransfers {
public:
    struct TWidgets {
        TdfsSystemTreeView *LocalTree;
        QProgressBar *Progress;
        QLabel *SpeedPanel;
    };
    TTransfers(TWindowServices &window, TIdFTP &ftp, TRemoteView &remoteView, const TWidgets &widgets);

    // The dialogs, and what they propose and keep.
    TFileDialog SaveDialog1, OpenDialog1;

    // The byte count progress is measured against, and whether a download
    // has just set it.
    int64_t ExpectedSize = 0;
    bool SizePreset = false;

    void DownloadSelected();
    void DownloadFile(const std::string &remoteName, const std::string &localPath);
    void UploadChosen();
    void UploadPath(const std::string &path);

    bool FileListDragOver(QObject *source, const QMimeData *data);
    void FileListDragDrop(QObject *source, const QMimeData *data);
    bool TreeDragOver(QObject *source);
    void TreeDragDrop();
    void TreeChanged();
    // Selects a local folder (the settings' last one); false when the tree
    // cannot show it.
    bool SelectLocalFolder(const QString &folder);

    void WorkBegin(TWorkMode mode, int64_t countMax);
    void Work(TWorkMode mode, int64_t count);
    void WorkEnd(TWorkMode mode);
    // The connection went: the speed panel and the bar start afresh.
    void ResetDisplay();

    // A remote name that can name a file in a local folder: no "/", no NUL,
    // not "." or "..". A listing may hold any of them.
    static bool IsLocalFileName(const std::string &name);

private:
    // Downloads each name into `folder`, skipping names that would leave it
    // and asking before a file there is replaced.
    void DownloadInto(const std::string &folder, const std::vector<std::string> &names);
    void UploadFolder(const std::string &path);
    void UploadFile(const std::string &path);
    // Runs `upload` as one batch, then shows the remote folder anew
    // whatever happened.
    template <typename Upload>
    void UploadAndRefresh(bool several, Upload upload);
    // The guard of the batch in progress, or one for a single file.
    TOverwriteGuard &Guard();
    bool RemoteFileExists(const std::string &name);
    // Runs one file's transfer; a failure is logged as a sentence that
    // names the file and goes on as an error that says the same.
    template <typename Move>
    void Transfer(const QString &what, const QString &name, const QString &keptOutcome, Move move);

    // Shows the speed and the progress of the work so far.
    void ShowWork();

    TWindowServices &FWindow;
    TIdFTP &FFtp;
    TRemoteView &FRemoteView;
    TWidgets W;
    std::optional<TOverwriteGuard> FGuard;
    // A file moves: its work shows as a speed. A listing's does not.
    bool FFileTransfer = false;
    QElapsedTimer FWorkStart;
    qint64 FLastShown = -1;
    TWorkMode FWorkMode = wdReceive;
    int64_t FWorkCount = 0;
    bool FWorkUnshown = false;
};
