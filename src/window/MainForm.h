// The main window: connection bar, remote and local pages, log list and
// status bar, with the actions every feature is reached from. Logic with a
// life of its own (settings, site list, parsing) lives in small units; this
// class wires them to the controls.
#pragma once

#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "FileListView.h"
#include "FileVersionInfo.h"
#include "FormSettings.h"
#include "IdAntiFreeze.h"
#include "IdFTP.h"
#include "IdIPWatch.h"
#include "IdLogDebug.h"
#include "RemoteFileOperations.h"
#include "RemoteView.h"
#include "SiteList.h"
#include "SystemImageList.h"
#include "Transfers.h"
#include "UserDialogs.h"

#include <QIcon>
#include <QMainWindow>

#include <vector>

class QAction;
class QDropEvent;
class QKeyEvent;
class QMimeData;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TdfsCustomSystemTreeView;
class TdfsSystemTreeView;
class TOrlaAboutBox;
class TStatusBar;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // Cool bar, row 1.
    QToolBar *tbConnection, *tbFile, *ToolBar2, *ToolBar3;
    QToolButton *btnConnect, *btnDownload, *btnUpload, *btnCreateDir, *btnDelete, *btnRename, *btnUpAFolder,
        *btnAbout;
    // Row 2: the connection bar.
    QToolBar *tbControl;
    QComboBox *cbAddress;
    QLineEdit *edUserName, *edPassword;
    // Row 3: the folder box.
    QToolBar *ToolBar1;
    QLineEdit *edCurrentDir;
    QToolButton *btnChangeFolder;
    // The middle.
    QSplitter *Splitter1, *Splitter2, *Splitter3;
    QTabWidget *pcLocalSystem, *pcRemoteSystem;
    QWidget *tsFTP;
    TdfsSystemTreeView *SysTree;
    QTreeWidget *tvFolders;
    TFileListView *lvFiles;
    // The raw lines of the last listing, in the server's order; never shown.
    std::vector<std::string> lbDirectory;
    // The log and the status bar.
    QWidget *Panel2;
    QListWidget *lbConnection;
    QMenu *puLog, *puFiles;
    QAction *Icon1, *List1, *Report1, *SmallIcon1;
    QAction *ClearLog1, *ShowProtocol1;
    TStatusBar *sbMain;
    QProgressBar *ProgressBar1;

    QAction *actDownload, *actUpload, *actNewFolder, *actDelete, *actRename, *actConnect, *actAbout,
        *actUpAFolder;
    std::vector<QIcon> ImageList1;

    TdfsSystemImageList ilSystem{isSmall};
    TdfsSystemImageList ilSystemLarge{isLarge};
    TIdFTP FTP;
    TIdAntiFreeze AntiFreeze;
    TIdLogDebug FTPLog;
    TIdIPWatch IPWatch;
    TBrelFileVersionInfo AppVersion;
    TOrlaAboutBox *About;
    TFileDialog SaveDialog1, OpenDialog1;
    TSiteList Sites;

    // The steps of each feature, in a unit of their own.
    TConnectionLog Log{*this};
    TFormSettings Settings{*this};
    TConnectionWorkflow Connection{*this};
    TRemoteView RemoteView{*this};
    TTransfers Transfers{*this};
    TRemoteFileOperations FileOperations{*this};

    void FormCreate();
    void FormDestroy();
    void ImportIniSettings() { Settings.ImportIni(); }
    void LoadSettings() { Settings.Load(); }
    void SaveSettings() { Settings.Save(); }
    void AddToLog(const QString &message) { Log.Add(message); }
    void SetActionsEnabled(bool on);
    // The splitters whose division is kept between runs.
    std::vector<QSplitter *> Panes() const { return {Splitter1, Splitter2, Splitter3}; }
    // The screen cursor: the hourglass, or back to the default.
    void SetBusyCursor(bool busy);

    // ---- the connection bar
    void cbAddressChange() { Connection.AddressChanged(); }
    // A key press in the connection bar; true when it is consumed.
    bool cbAddressKeyPress(QKeyEvent *key) { return Connection.KeyPress(key); }
    void actConnectExecute() { Connection.Execute(); }
    void FTPConnected() { Connection.Connected(); }
    void FTPDisconnected() { Connection.Disconnected(); }
    void FTPStatus(TIdStatus axStatus, const std::string &asStatusText);

    // ---- the remote folder view
    // Moves to a remote folder (bytes as the server takes them) and fills
    // the folder box, the folder tree and the file list from its listing.
    void ChangeFolder(const std::string &folder) { RemoteView.ChangeFolder(folder); }
    std::string CurrentDirBytes() const { return RemoteView.CurrentDirBytes(); }
    bool edCurrentDirKeyPress(QKeyEvent *key) { return RemoteView.FolderBoxKeyPress(key); }
    void btnChangeFolderClick() { RemoteView.GoClicked(); }
    void tvFoldersDblClick() { RemoteView.FolderTreeDoubleClicked(); }
    bool tvFoldersKeyPress(QKeyEvent *key) { return RemoteView.FolderTreeKeyPress(key); }
    void lvFilesDblClick() { RemoteView.FileListDoubleClicked(); }
    bool lvFilesKeyPress(QKeyEvent *key) { return RemoteView.FileListKeyPress(key); }
    void actUpAFolderExecute() { RemoteView.UpAFolder(); }
    void SetFileViewStyle(TViewStyle style) { RemoteView.SetViewStyle(style); }

    // ---- transfers
    void actDownloadExecute() { Transfers.DownloadSelected(); }
    void DownloadFile(const std::string &remote, const std::string &local) { Transfers.DownloadFile(remote, local); }
    void actUploadExecute() { Transfers.UploadChosen(); }
    void UploadPath(const std::string &path) { Transfers.UploadPath(path); }
    bool lvFilesDragOver(QObject *source, const QMimeData *data) { return Transfers.FileListDragOver(source, data); }
    void lvFilesDragDrop(QObject *source, const QMimeData *data) { Transfers.FileListDragDrop(source, data); }
    bool SysTreeDragOver(QObject *source) { return Transfers.TreeDragOver(source); }
    void SysTreeDragDrop() { Transfers.TreeDragDrop(); }
    void SysTreeChange() { Transfers.TreeChanged(); }
    void FTPWorkBegin(TWorkMode mode, int64_t countMax) { Transfers.WorkBegin(mode, countMax); }
    void FTPWork(TWorkMode mode, int64_t count) { Transfers.Work(mode, count); }
    void FTPWorkEnd(TWorkMode mode) { Transfers.WorkEnd(mode); }

    // ---- remote file operations
    void actNewFolderExecute() { FileOperations.NewFolder(); }
    void actDeleteExecute() { FileOperations.Delete(); }
    void actRenameExecute() { FileOperations.Rename(); }

    void actAboutExecute();
    void ClearLog1Click() { Log.Clear(); }
    void FTPLogLogItem(TIdLogDebug *, std::string &AText) { Log.ProtocolItem(AText); }
    void IPWatchStatus(TIdComponent *axSender, TIdStatus axStatus, const std::string &asStatusText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing during a transfer ends it first, and closes once it unwound.
    void closeEvent(QCloseEvent *event) override;

private:
    bool FBusyCursor = false;
    bool FClosing = false;

    QAction *NewAction(const QString &text, int image, const QKeySequence &shortcut, const QString &hint);
    void CreateActions();
    void CreateCoolBar();
    void CreateConnectionBar();
    void CreateFolderBar();
    void CreatePages();
    void CreateLogAndStatusBar();
    void CreateComponents();
    void CreateFilesMenu();
    void WireDrags();
};
