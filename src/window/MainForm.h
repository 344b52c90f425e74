// The main window: connection bar, remote and local pages, log list and
// status bar, with the actions every feature is reached from. Logic with a
// life of its own (settings, site list, parsing) lives in small units; this
// class wires them to the controls.
#pragma once

#include "FileListView.h"
#include "FileVersionInfo.h"
#include "IdAntiFreeze.h"
#include "IdFTP.h"
#include "IdIPWatch.h"
#include "IdLogDebug.h"
#include "SiteList.h"
#include "SystemImageList.h"
#include "UserDialogs.h"

#include <QIcon>
#include <QMainWindow>

#include <vector>

class QAction;
class QKeyEvent;
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
class TdfsSystemTreeView;
class TOrlaAboutBox;
class TStatusBar;

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget *parent = nullptr);
    ~TfrmMain() override;

    void AddToLog(const QString &message);
    void SetActionsEnabled(bool on);

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
    QAction *ClearLog1;
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
    bool SizePreset = false;

    void FormCreate();
    void FormDestroy();
    void ImportIniSettings();
    void LoadSettings();
    void SaveSettings();
    void cbAddressChange();
    // The key of a key press in the connection bar; true when it is consumed.
    bool cbAddressKeyPress(QKeyEvent *key);
    void actConnectExecute();
    void FTPConnected();
    void FTPDisconnected();
    void FTPStatus(TIdStatus axStatus, const std::string &asStatusText);

    // Moves to a remote folder (bytes as the server takes them) and fills
    // the folder box, the folder tree and the file list from its listing.
    void ChangeFolder(const std::string &folder);
    bool edCurrentDirKeyPress(QKeyEvent *key);
    void btnChangeFolderClick();
    void tvFoldersDblClick();
    bool tvFoldersKeyPress(QKeyEvent *key);
    void lvFilesDblClick();
    bool lvFilesKeyPress(QKeyEvent *key);
    void actUpAFolderExecute();
    void SetFileViewStyle(TViewStyle style);
    // The bytes of the folder box's text: those the server reported when the
    // text is still what it showed, else the text as UTF-8.
    std::string CurrentDirBytes() const;
    void actAboutExecute();
    void ClearLog1Click();
    void FTPLogLogItem(TIdLogDebug *ASender, std::string &AText);
    void SysTreeChange();
    void IPWatchStatus(TIdComponent *axSender, TIdStatus axStatus, const std::string &asStatusText);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void Connect();
    void AddOrUpdateSite();
    void RemoveSite();
    void SetBusyCursor(bool busy);
    bool FBusyCursor = false;
    std::string FCurrentDirRaw;

    QAction *NewAction(const QString &text, int image, const QKeySequence &shortcut, const QString &hint);
    void CreateActions();
    void CreateCoolBar();
    void CreateConnectionBar();
    void CreateFolderBar();
    void CreatePages();
    void CreateLogAndStatusBar();
    void CreateComponents();
    void CreateFilesMenu();
    // Selects the folder part of `file` in the local tree; errors ignored.
    void SelectLocalFolderOf(const QString &file);
    // After the address box's items are filled: select item 0 and fill the bar.
    void SelectFirstSite();
};
