// The main window. It builds the widgets, hands each part the widgets it
// owns and the window's shared services, and wires the actions to the
// parts: its constructor reads as a table of contents. The logic lives in
// the parts (connection bar, remote view, transfers, file operations,
// log, settings); the widgets are the window's own.
#pragma once

#include "FileVersionInfo.h"
#include "IdAntiFreeze.h"
#include "IdFTP.h"
#include "IdIPWatch.h"
#include "IdLogDebug.h"
#include "SiteList.h"
#include "SystemImageList.h"
#include "WindowServices.h"

#include <QIcon>
#include <QMainWindow>

#include <memory>
#include <vector>

class TBrowsingSession;
class QAction;
class QComboBox;
class QLineEdit;
class QListWidget;
class QMenu;
class QProgressBar;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QTreeWidget;
class TConnectionLog;
class TConnectionWorkflow;
class TdfsSystemTreeView;
class TFileListView;
class TFormSettings;
class TOrlaAboutBox;
class TRemoteFileOperations;
class TRemoteView;
class TSiteActions;
class TStatusBar;
class TTransferPanel;
class TRemoteSession;
class TTransferDisplay;
class TTransferRunner;
class TTransfers;
class TWorkdayTools;

class TfrmMain : public QMainWindow, public TWindowServices {
    Q_OBJECT
public:
    // How often what changed in the settings is written (ms).
    static constexpr int SettingsSaveInterval = 500;
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    // ---- the components the window owns
    TIdFTP FTP;
    TIdAntiFreeze AntiFreeze;
    TIdLogDebug FTPLog;
    TIdIPWatch IPWatch;
    TBrelFileVersionInfo AppVersion;
    TdfsSystemImageList ilSystem{isSmall};
    TdfsSystemImageList ilSystemLarge{isLarge};
    TOrlaAboutBox *About = nullptr;
    TSiteList Sites;

    // ---- its parts
    TConnectionWorkflow &Connection() { return *FConnection; }
    TRemoteView &RemoteView() { return *FRemoteView; }
    TTransfers &Transfers() { return *FTransfers; }
    TTransferRunner &Runner() { return *FRunner; }
    TRemoteFileOperations &FileOperations() { return *FFileOperations; }
    TConnectionLog &Log() { return *FLog; }
    TSiteActions &SiteActions() { return *FSiteActions; }
    TWorkdayTools &Tools() { return *FTools; }

    // ---- the shared services
    void AddToLog(const QString &message) override;
    void SetBusyCursor(bool busy) override;
    void SetActionsEnabled(bool on) override;
    bool Online() const override;
    bool DisconnectRequested() const override;
    QWidget *DialogOwner() override { return this; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Closing while transfers run asks first; a command of the browsing
    // connection ends first, and the window closes once it unwound.
    void closeEvent(QCloseEvent *event) override;

private:
    void CreateActions();
    QAction *NewAction(const char *name, const QString &text, int image, const QKeySequence &shortcut,
                       const QString &hint);
    void CreateToolBars();
    void CreatePages();
    void CreateLogAndStatusBar();
    void CreateComponents();
    void CreateParts();
    void CreateFilesMenu();
    void CreateMenuBar();
    void EditSettings();
    void WireActions();
    void FormCreate();
    void FormDestroy();
    // The splitters whose division is kept between runs.
    std::vector<QSplitter *> Panes() const;
    void FTPStatus(TIdStatus axStatus, const std::string &asStatusText);
    void IPWatchStatus(const std::string &asStatusText);

    // Cool bar, row 1.
    QToolButton *btnConnect, *btnUpAFolder;
    // Row 2: the connection bar; row 3: the folder box.
    QComboBox *cbAddress;
    QLineEdit *edUserName, *edPassword, *edCurrentDir;
    QToolButton *btnChangeFolder;
    // The middle.
    QSplitter *spFilesAndLog, *spRemote, *spLocalAndRemote;
    QTabWidget *pcLocalSystem, *pcRemoteSystem;
    QWidget *tsFTP;
    TdfsSystemTreeView *SysTree;
    QTreeWidget *tvFolders;
    TFileListView *lvFiles;
    // The log and the transfer queue, and the status bar.
    QTabWidget *pcLog;
    QListWidget *lbConnection;
    TTransferPanel *TransferPanel = nullptr;
    class TViewMenus *FMenus = nullptr;
    class TSpeedLimitMenu *FSpeedLimits = nullptr;
    TStatusBar *sbMain;
    QProgressBar *pbTransfers;

    QAction *actDownload, *actUpload, *actNewFolder, *actDelete, *actRename, *actConnect, *actAbout,
        *actUpAFolder, *actPassiveMode;
    // The menu bar's own: sites, the dialog variants of the transfers,
    // settings, quitting, the pages, and the focused view's context menu.
    QAction *actSaveSite, *actDeleteSite, *actDownloadAs, *actUploadFiles, *actUploadFolder, *actSettings, *actQuit,
        *actShowLog, *actShowTransfers, *actContextMenu;
    QMenu *puUpload;
    QToolButton *btnUpload;
    std::vector<QIcon> ImageList1;

    std::unique_ptr<TConnectionLog> FLog;
    TSiteActions *FSiteActions = nullptr;
    TWorkdayTools *FTools = nullptr;
    std::unique_ptr<TRemoteView> FRemoteView;
    // The browsing connection, FTP, as the views use it.
    // The window's FTP client as a session, and the session the window
    // browses with: that one, or another protocol's.
    std::unique_ptr<TRemoteSession> FFtpSession;
    std::unique_ptr<TBrowsingSession> FBrowsing;
    std::unique_ptr<TTransferDisplay> FTransferDisplay;
    std::unique_ptr<TTransferRunner> FRunner;
    std::unique_ptr<TTransfers> FTransfers;
    std::unique_ptr<TConnectionWorkflow> FConnection;
    std::unique_ptr<TRemoteFileOperations> FFileOperations;
    std::unique_ptr<TFormSettings> FSettings;

    // "Veldra - v3.1", the title offline.
    QString FTitle;
    bool FBusyCursor = false;
    bool FClosing = false;
};
