#include "MainForm.h"

#include "AboutForm.h"
#include "Application.h"
#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "FileCountLine.h"
#include "FileListView.h"
#include "FormSettings.h"
#include "BrowsingSession.h"
#include "FtpSession.h"
#include "IDEEnhance.h"
#include "OrlaAboutBox.h"
#include "RemoteFileOperations.h"
#include "RemoteView.h"
#include "ShortcutPriority.h"
#include "SiteActions.h"
#include "SpeedLimitMenu.h"
#include "StatusBar.h"
#include "SystemTreeView.h"
#include "ToolGlyphs.h"
#include "TransferDisplay.h"
#include "TransferPanel.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "ViewMenus.h"
#include "UserDialogs.h"
#include "WindowBars.h"
#include "WindowMenu.h"
#include "WindowPlacement.h"
#include "WorkdayTools.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QStyle>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle("Veldra");
    ImageList1 = ToolGlyphs();

    CreateActions();
    CreateToolBars();
    CreatePages();
    CreateLogAndStatusBar();
    CreateComponents();
    CreateParts();
    CreateFilesMenu();
    CreateMenuBar();
    WireActions();
    WindowPlacement::FitToFont(*this, {1000, 700}, {140, 60}, Panes());

    // Errors here (a settings value of the wrong kind) are reported like any
    // other, and the window still opens.
    try {
        FormCreate();
    } catch (...) {
        TApplication::HandleException();
    }
}

TfrmMain::~TfrmMain()
{
    try {
        FormDestroy();
    } catch (...) {
        TApplication::HandleException();
    }
    // The parts the events reach go before the client does.
    FTP.OnStatus = nullptr;
    FTP.OnConnected = nullptr;
    FTP.OnDisconnected = nullptr;
    FTPLog.OnLogItem = nullptr;
    // The queue's page shows the runner's queue: it goes first.
    delete TransferPanel;
    ShellUi::SetHintHandler(nullptr);
    ShellUi::SetErrorHandler(nullptr);
}

// ---- building the window ----------------------------------------------------

QAction *TfrmMain::NewAction(const char *name, const QString &text, int image, const QKeySequence &shortcut,
                             const QString &hint)
{
    auto *action = new QAction(image >= 0 ? ImageList1[size_t(image)] : QIcon(), text, this);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    action->setToolTip(hint.isEmpty() ? text : hint);
    action->setStatusTip(hint);
    addAction(action);
    return action;
}

void TfrmMain::CreateActions()
{
    actDownload = NewAction("actDownload", "&Download", 2, QKeySequence("Ctrl+D"),
                            "Download the chosen files or folder into the folder chosen in the local tree.");
    actUpload = NewAction("actUpload", "Upload", 3, QKeySequence("Ctrl+U"),
                          "Upload a file from your system to the FTP Site.");
    actNewFolder = NewAction("actNewFolder", "&New Folder", 4, QKeySequence("Ctrl+N"),
                             "Create a new folder on the FTP Server.");
    actDelete = NewAction("actDelete", "&Delete", 5, QKeySequence(Qt::Key_Delete),
                          "Delete a file or folder from the FTP Server.");
    actRename = NewAction("actRename", "&Rename", 6, QKeySequence("Ctrl+R"),
                          "Rename a file or folder on the FTP Server.");
    actConnect = NewAction("actConnect", "Connect", 1, QKeySequence("Ctrl+F"), "Connect to server.");
    actAbout = NewAction("actAbout", "About", 7, QKeySequence("Ctrl+Alt+A"), "About");
    actUpAFolder = NewAction("actUpAFolder", "Up a Folder", 8, QKeySequence("Alt+Backspace"), QString());
    // Ctrl+D means Download wherever the focus is; deleting a saved site
    // has a key no other action shares, and asks.
    actSaveSite = NewAction("actSaveSite", "Save Site", -1, QKeySequence("Ctrl+I"),
                            "Keep the address, user and password in the list of sites.");
    actSaveSite->setIcon(QIcon::fromTheme("document-save", style()->standardIcon(QStyle::SP_DialogSaveButton)));
    actDeleteSite = NewAction("actDeleteSite", "Delete Site...", -1, QKeySequence("Ctrl+Shift+Del"),
                              "Remove the chosen site and its password from the list.");
    actDownloadAs = NewAction("actDownloadAs", "Download &As...", -1, QKeySequence("Ctrl+Shift+D"),
                              "Download the chosen file under a name you choose, or the chosen files or folder "
                              "into a folder you choose.");
    actUploadFiles = NewAction("actUploadFiles", "Upload Files...", -1, QKeySequence(),
                               "Choose local files to upload into the remote folder.");
    actUploadFolder = NewAction("actUploadFolder", "Upload Folder...", -1, QKeySequence("Ctrl+Shift+U"),
                                "Choose a local folder to upload with all it holds.");
    actSettings = NewAction("actSettings", "Se&ttings...", -1, QKeySequence("Ctrl+,"),
                            "Transfer mode, simultaneous transfers, proxy, passwords and more.");
    actQuit = NewAction("actQuit", "Quit", -1, QKeySequence::Quit, "Close the window.");
    actShowLog = NewAction("actShowLog", "Log", -1, QKeySequence("Ctrl+L"), "Show the log.");
    actShowTransfers = NewAction("actShowTransfers", "Transfers", -1, QKeySequence("Ctrl+T"), "Show the transfers.");
    actContextMenu = NewAction("actContextMenu", "Context Menu", -1, QKeySequence("Shift+F10"),
                               "The focused list's menu.");
    // The connection-bound actions start disabled, whatever FormCreate reaches.
    SetActionsEnabled(false);
    new TShortcutPriority(this, {actDownload, actDownloadAs, actUpload, actUploadFolder, actNewFolder, actRename,
                                 actConnect, actAbout, actSaveSite, actDeleteSite, actShowLog, actShowTransfers});
}

void TfrmMain::CreateToolBars()
{
    QToolBar *tbConnection = NewToolBar(this, "tbConnection", "Connection");
    btnConnect = ButtonFor(tbConnection, actConnect);
    btnConnect->setObjectName("btnConnect");
    btnConnect->setAccessibleName("Connect");
    ButtonFor(tbConnection, actSaveSite)->setObjectName("btnSaveSite");
    QToolBar *tbFile = NewToolBar(this, "tbFile", "Transfers");
    ButtonFor(tbFile, actDownload)->setObjectName("btnDownload");
    btnUpload = ButtonFor(tbFile, actUpload);
    btnUpload->setObjectName("btnUpload");
    QToolBar *files = NewToolBar(this, "ToolBar2", "Remote files");
    ButtonFor(files, actNewFolder)->setObjectName("btnCreateDir");
    ButtonFor(files, actDelete)->setObjectName("btnDelete");
    ButtonFor(files, actRename)->setObjectName("btnRename");
    files->addSeparator();
    btnUpAFolder = ButtonFor(files, actUpAFolder);
    btnUpAFolder->setObjectName("btnUpAFolder");
    btnUpAFolder->installEventFilter(this);
    ButtonFor(NewToolBar(this, "ToolBar3", "Help"), actAbout)->setObjectName("btnAbout");

    const TBarFields fields = CreateFieldBars(*this);
    cbAddress = fields.Address;
    edUserName = fields.UserName;
    edPassword = fields.Password;
    edCurrentDir = fields.CurrentDir;
    btnChangeFolder = fields.ChangeFolder;
}

void TfrmMain::CreatePages()
{
    spLocalAndRemote = new QSplitter(Qt::Horizontal);
    spLocalAndRemote->setObjectName("spLocalAndRemote");
    spLocalAndRemote->setProperty(WindowPlacement::StoredAs, "Splitter3");
    spLocalAndRemote->setAccessibleName("Local and remote");
    spLocalAndRemote->setHandleWidth(3);

    pcLocalSystem = new QTabWidget;
    pcLocalSystem->setObjectName("pcLocalSystem");
    pcLocalSystem->setAccessibleName("Local System");
    SysTree = new TdfsSystemTreeView;
    SysTree->setObjectName("SysTree");
    SysTree->setAccessibleName("Local folders");
    SysTree->SetShowFiles(true);
    SysTree->SetDragMode(dmAutomatic);
    SysTree->SetIndent(19);
    pcLocalSystem->addTab(SysTree, "Local System");
    spLocalAndRemote->addWidget(pcLocalSystem);

    pcRemoteSystem = new QTabWidget;
    pcRemoteSystem->setObjectName("pcRemoteSystem");
    pcRemoteSystem->setAccessibleName("Remote System");
    tsFTP = new QWidget;
    tsFTP->setObjectName("tsFTP");
    auto *remoteLayout = new QHBoxLayout(tsFTP);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    spRemote = new QSplitter(Qt::Horizontal);
    spRemote->setObjectName("spRemote");
    spRemote->setProperty(WindowPlacement::StoredAs, "Splitter2");
    spRemote->setAccessibleName("Remote folders and files");
    spRemote->setHandleWidth(3);
    tvFolders = new QTreeWidget;
    tvFolders->setObjectName("tvFolders");
    tvFolders->setAccessibleName("Remote folders");
    tvFolders->setHeaderHidden(true);
    tvFolders->setHeaderLabel("Name");  // read out by screen readers only
    tvFolders->setRootIsDecorated(false);
    tvFolders->setIndentation(35);
    tvFolders->setIconSize({16, 16});
    tvFolders->setToolTip("List of folders under the current folder.");
    // A folder dragged onto the local tree is downloaded with what it holds.
    tvFolders->setDragEnabled(true);
    tvFolders->setDragDropMode(QAbstractItemView::DragOnly);
    lvFiles = new TFileListView(&ilSystem);
    lvFiles->setObjectName("lvFiles");
    lvFiles->setAccessibleName("Remote files");
    lvFiles->setToolTip("List of files in the current folder.");
    // Under the files, how many there are and their size.
    auto *files = new QWidget;
    auto *filesLayout = new QVBoxLayout(files);
    filesLayout->setContentsMargins(0, 0, 0, 0);
    filesLayout->setSpacing(0);
    filesLayout->addWidget(lvFiles, 1);
    filesLayout->addWidget(new TFileCountLine(*lvFiles));
    spRemote->addWidget(tvFolders);
    spRemote->addWidget(files);
    spRemote->setSizes({201, 380});
    remoteLayout->addWidget(spRemote);
    pcRemoteSystem->addTab(tsFTP, "Remote System");
    spLocalAndRemote->addWidget(pcRemoteSystem);
    // The local tree takes a third of the width, and keeps it as the
    // window grows: deep local paths need the room.
    spLocalAndRemote->setSizes({300, 600});
    spLocalAndRemote->setStretchFactor(0, 1);
    spLocalAndRemote->setStretchFactor(1, 2);
}

void TfrmMain::CreateLogAndStatusBar()
{
    pcLog = new QTabWidget;
    pcLog->setObjectName("pcLog");
    pcLog->setAccessibleName("Log and transfers");
    pcLog->setTabPosition(QTabWidget::South);
    pcLog->setDocumentMode(true);
    lbConnection = new QListWidget;
    lbConnection->setObjectName("lbConnection");
    lbConnection->setAccessibleName("Log");
    lbConnection->setLayoutMode(QListView::Batched);
    lbConnection->setBatchSize(2000);
    pcLog->addTab(lbConnection, "Log");

    spFilesAndLog = new QSplitter(Qt::Vertical);
    spFilesAndLog->setObjectName("spFilesAndLog");
    spFilesAndLog->setProperty(WindowPlacement::StoredAs, "Splitter1");
    spFilesAndLog->setAccessibleName("Files and log");
    spFilesAndLog->setHandleWidth(3);
    spFilesAndLog->addWidget(spLocalAndRemote);
    spFilesAndLog->addWidget(pcLog);
    spFilesAndLog->setStretchFactor(0, 1);
    // The log and transfers start with room for about eight rows.
    spFilesAndLog->setSizes({340, 240});

    sbMain = NewStatusBar();
    pbTransfers = NewProgressBar();

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(spFilesAndLog, 1);
    layout->addWidget(sbMain);
    setCentralWidget(central);
}

void TfrmMain::CreateComponents()
{
    FTP.User = "anonymous";
    FTP.Password = "veldra@localhost";
    FTP.SetRecvBufferSize(8192);
    FTP.SendBufferSize = 1024;
    FTP.SocksInfo.Host = "localhost";
    FTP.SocksInfo.Port = 1080;
    FTP.SocksInfo.Version = svNoSocks;

    AntiFreeze.IdleTimeOut = 50;
    AntiFreeze.OnlyWhenIdle = false;

    FTPLog.SetTarget(ltEvent);
    FTPLog.LogTime = false;  // the log adds its own time, in IDE-hooks mode
    FTPLog.SetActive(true);
    FTP.SetIntercept(&FTPLog);
    FTP.SetInterceptEnabled(true);

    IPWatch.HistoryEnabled = false;
    IPWatch.HistoryFilename = "iphist.dat";
    IPWatch.OnStatus = [this](TIdComponent *, TIdStatus, const std::string &text) { IPWatchStatus(text); };
    IPWatch.SetActive(true);

    About = new TOrlaAboutBox(this);
    About->AboutImage = AboutPicture();
    About->StretchAboutPic = false;

    // The local tree's messages are the program's: tests answer them too.
    ShellUi::SetErrorHandler([](QWidget *owner, const QString &text) { UserDialogs().ShowError(owner, text); });
    // The hint of a hovered menu item: "verb|help text"; the help shows.
    ShellUi::SetHintHandler([this](const QString &hint) { sbMain->SetSimpleText(hint.section('|', 1)); });
}

void TfrmMain::CreateParts()
{
    FLog = std::make_unique<TConnectionLog>(lbConnection, FTPLog);
    FFtpSession = std::make_unique<TFtpSession>(FTP);
    FBrowsing = std::make_unique<TBrowsingSession>(*FFtpSession);
    FRemoteView = std::make_unique<TRemoteView>(*this, *FBrowsing, ilSystem,
                                                TRemoteView::TWidgets{edCurrentDir, btnChangeFolder, tvFolders, lvFiles});
    FTransferDisplay = std::make_unique<TTransferDisplay>(
        *this, *FRemoteView, TTransferDisplay::TWidgets{pbTransfers, sbMain->Panel(2), sbMain->Panel(4)});
    FRunner = std::make_unique<TTransferRunner>(*FTransferDisplay, UseIDEHooks());
    TransferPanel = new TTransferPanel(*FRunner);
    FTransferDisplay->SetPanel(TransferPanel);
    TransferPanel->setObjectName("TransferPanel");
    pcLog->addTab(TransferPanel, "Transfers");
    FTransfers = std::make_unique<TTransfers>(*this, *FBrowsing, *FRemoteView, *FRunner, TTransfers::TWidgets{SysTree, lvFiles});
    FTools = new TWorkdayTools(*this, {*FBrowsing, *FRemoteView, *FTransfers, *FRunner}, {SysTree, tvFolders, lvFiles, pcLocalSystem}, this);
    actPassiveMode = new QAction("Passive Mode", this);
    actPassiveMode->setObjectName("PassiveMode1");
    actPassiveMode->setCheckable(true);
    actPassiveMode->setStatusTip("Open data connections from this side: needed behind most home routers.");
    FConnection = std::make_unique<TConnectionWorkflow>(
        *this, FTP, Sites,
        TConnectionWorkflow::TWidgets{cbAddress, edUserName, edPassword, actConnect, actPassiveMode, btnConnect,
                                      sbMain->Panel(0), ImageList1[1], ImageList1[0]},
        TConnectionWorkflow::TParts{*FBrowsing, *FRemoteView, *FRunner, *FLog});
    FFileOperations = std::make_unique<TRemoteFileOperations>(*this, *FBrowsing, *FRemoteView, *FRunner);
    FSettings = std::make_unique<TFormSettings>(
        *this, Panes(),
        TFormSettings::TParts{Sites, *FConnection, *FRemoteView, *FTransfers, *FRunner, *FLog, FTools->KeepAlive(),
                              FTools->Editing()});
    // A first start: what the settings would say if they said nothing.
    FSettings->Apply(TAppSettings{});
    FSiteActions =
        new TSiteActions(*this, {Sites, *FConnection, [this] { FSettings->Save(); }, *FRemoteView, *FTransfers}, this);
    FSpeedLimits = new TSpeedLimitMenu(*FRunner, this);
    FConnection->OpenLocalFolder = [this](const QString &folder) { FTransfers->SelectLocalFolder(folder); };
    // The title names the site, so that two windows, or a task switcher,
    // tell them apart.
    FConnection->OnSession = [this](const QString &name) {
        setWindowTitle(name.isEmpty() ? FTitle : name + QStringLiteral(" \u2014 Veldra"));
    };
}

void TfrmMain::CreateFilesMenu()
{
    FMenus = new TViewMenus({actDownload, actDownloadAs, FTools->Edit(), actNewFolder, actRename, actDelete,
                             FTools->Permissions, FTools->CopyUrl, actUpload, actPassiveMode,
                             FRemoteView->ViewStyleItems()},
                            {tvFolders, lvFiles, SysTree}, this);
}

void TfrmMain::CreateMenuBar()
{
    // Ctrl+U offers both: files, or a folder with all it holds.
    puUpload = new QMenu(this);
    puUpload->setObjectName("puUpload");
    puUpload->setAccessibleName("Upload");
    puUpload->addAction("&Files...", actUploadFiles, &QAction::trigger);
    puUpload->addAction("F&older...", actUploadFolder, &QAction::trigger);
    auto *viewStyle = new QMenu("View &Style", this);
    viewStyle->addActions(FRemoteView->ViewStyleItems());
    BuildMenuBar(*this, {{"&File", {actConnect, nullptr, FSiteActions->Manager, actSaveSite, actDeleteSite, nullptr,
                                    FSiteActions->Import, FSiteActions->Export, nullptr, actQuit}},
                         {"&Edit", {FTools->Edit(), actNewFolder, actRename, actDelete, FTools->Permissions, FTools->CopyUrl, nullptr,
                                    actSettings}},
                         {"&View", QList<QAction *>{viewStyle->menuAction(), actUpAFolder, nullptr} +
                                       FTools->ViewItems() + QList<QAction *>{nullptr, actShowLog, actShowTransfers}},
                         {"&Transfer", QList<QAction *>{actDownload, actDownloadAs, actUploadFiles, actUploadFolder,
                                                        FTools->DownloadNewer, FTools->UploadNewer, nullptr,
                                                        FSpeedLimits->Menu->menuAction(), nullptr} +
                                           TransferPanel->Actions()},
                         {"&Server", {actConnect, actPassiveMode, FTools->Find}},
                         {"&Help", {actAbout}}});
    FSiteActions->PlaceBookmarks(menuBar());
}

void TfrmMain::EditSettings()
{
    TAppSettings settings = FSettings->Current();
    if (UserDialogs().EditSettings(this, settings))
        FSettings->Apply(settings);
}

// Every input reaches its part here.
void TfrmMain::WireActions()
{
    connect(actSaveSite, &QAction::triggered, this, Guarded([this] {
        // In the folder box the key keeps the folder for the chosen site,
        // as it always did there.
        if (focusWidget() == edCurrentDir)
            FConnection->SetChosenSiteFolder(edCurrentDir->text());
        else
            FConnection->SaveSite();
    }));
    connect(actDeleteSite, &QAction::triggered, this, Guarded([this] { FConnection->DeleteSite(); }));
    connect(actDownloadAs, &QAction::triggered, this, Guarded([this] { FTransfers->DownloadSelectedAs(); }));
    // What the local tree has chosen goes up at once; else the choice of
    // files or a folder.
    connect(actUpload, &QAction::triggered, this, Guarded([this] {
        if (!FTransfers->UploadFromLocalTree())
            PopUpAt(puUpload, btnUpload);
    }));
    connect(actUploadFiles, &QAction::triggered, this, Guarded([this] { FTransfers->UploadChosen(); }));
    connect(actUploadFolder, &QAction::triggered, this, Guarded([this] { FTransfers->UploadFolderChosen(); }));
    connect(actSettings, &QAction::triggered, this, Guarded([this] { EditSettings(); }));
    connect(actQuit, &QAction::triggered, this, &QWidget::close);
    connect(actShowLog, &QAction::triggered, this, [this] {
        pcLog->setCurrentWidget(lbConnection);
        lbConnection->setFocus();
    });
    connect(actShowTransfers, &QAction::triggered, this, [this] {
        pcLog->setCurrentWidget(TransferPanel);
        TransferPanel->Rows()->setFocus();
    });
    connect(actContextMenu, &QAction::triggered, this, [] { OpenContextMenuOfFocus(); });
    connect(actAbout, &QAction::triggered, this, [this] { About->Execute(true); });
    connect(actConnect, &QAction::triggered, this, Guarded([this] { FConnection->Execute(); }));
    connect(actUpAFolder, &QAction::triggered, this, Guarded([this] { FRemoteView->UpAFolder(); }));
    connect(actDownload, &QAction::triggered, this, Guarded([this] { FTransfers->DownloadSelected(); }));
    connect(actNewFolder, &QAction::triggered, this, Guarded([this] { FFileOperations->NewFolder(); }));
    connect(actDelete, &QAction::triggered, this, Guarded([this] { FFileOperations->Delete(); }));
    connect(actRename, &QAction::triggered, this, Guarded([this] { FFileOperations->Rename(); }));

    // A file activated in the list runs the download action, Backspace the
    // up action: enabled or not, as the buttons are.
    connect(FRemoteView.get(), &TRemoteView::FileActivated, actDownload, &QAction::trigger);
    connect(FRemoteView.get(), &TRemoteView::UpRequested, actUpAFolder, &QAction::trigger);
    connect(FRemoteView.get(), &TRemoteView::RenameRequested, actRename, &QAction::trigger);
    connect(FMenus->OpenFolder, &QAction::triggered, this, Guarded([this] { FRemoteView->OpenChosenFolder(); }));

    // Machine listings and UTF-8 names where the server offers them.
    FTP.AskFeatures = true;
    // The client's events.
    FTP.OnStatus = [this](TIdComponent *, TIdStatus status, const std::string &text) { FTPStatus(status, text); };
    FTP.OnConnected = [this](TIdTCPClient *) { FConnection->Connected(); };
    FTP.OnDisconnected = [this](TIdTCPConnection *) { FConnection->Disconnected(); };
    // Another protocol's session tells its end after its call has unwound.
    // Unless the window has gone offline meanwhile (for another server).
    FBrowsing->OnClosed = [this] {
        QTimer::singleShot(0, this, Guarded([this] {
            if (FConnection->Online())
                FConnection->Disconnected();
        }));
    };
    FTPLog.OnLogItem = [this](TIdLogDebug *, std::string &text) { FLog->ProtocolItem(text); };
}

// ---- start and end ------------------------------------------------------------

void TfrmMain::FormCreate()
{
    pbTransfers->setParent(sbMain);
    pbTransfers->move(sbMain->PanelLeft(1) + 1, 2);
    pbTransfers->show();
    pcRemoteSystem->setCurrentWidget(tsFTP);
    AppVersion.SetExecutableFile(ProgramFile().toStdString());
    FTitle = windowTitle() + " - v" + QString::fromStdString(AppVersion.FileVersion);
    setWindowTitle(FTitle);
    // The settings first, then an older version's file, whose sites join
    // them: also when the settings could not all be read.
    std::exception_ptr failure;
    for (const auto &step : {std::function<void()>([this] { FSettings->Load(); }),
                             std::function<void()>([this] { FSettings->ImportIni(); })}) {
        try {
            step();
        } catch (...) {
            if (!failure)
                failure = std::current_exception();
        }
    }
    SetActionsEnabled(false);
    FSettings->SaveAsItChanges(SettingsSaveInterval, [this](const QString &line) { AddToLog(line); });
    if (failure)
        std::rethrow_exception(failure);
}

void TfrmMain::FormDestroy()
{
    FSettings->Save(true);
}

std::vector<QSplitter *> TfrmMain::Panes() const
{
    return {spFilesAndLog, spRemote, spLocalAndRemote};
}

// ---- the shared services ------------------------------------------------------------

void TfrmMain::AddToLog(const QString &message)
{
    FLog->Add(message);
}

void TfrmMain::SetActionsEnabled(bool on)
{
    // Whatever asks, offline they stay off.
    on = on && Online();
    for (QAction *action : QList<QAction *>{actDownload, actDownloadAs, actUpload, actUploadFiles, actUploadFolder,
                                            actNewFolder, actDelete, actRename, actUpAFolder} +
                               (FTools ? FTools->OnlineActions() : QList<QAction *>()))
        action->setEnabled(on);
}

bool TfrmMain::Online() const
{
    return FConnection && FConnection->Online();
}

bool TfrmMain::DisconnectRequested() const
{
    return FConnection && FConnection->DisconnectRequested();
}

void TfrmMain::SetBusyCursor(bool busy)
{
    if (busy == FBusyCursor)
        return;
    FBusyCursor = busy;
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void TfrmMain::FTPStatus(TIdStatus axStatus, const std::string &asStatusText)
{
    // A host that was never found leaves no address to disconnect from.
    if (axStatus == ssDisconnecting && FTP.Socket()->RemoteIP.empty())
        return;
    AddToLog(QString::fromStdString(asStatusText));
}

void TfrmMain::IPWatchStatus(const std::string &asStatusText)
{
    sbMain->SetPanelText(3, QString::fromStdString(asStatusText));
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    // "Up a Folder" has no hint.
    if (event->type() == QEvent::ToolTip && watched == btnUpAFolder)
        return true;
    return QMainWindow::eventFilter(watched, event);
}

// ---- closing -------------------------------------------------------------------

void TfrmMain::closeEvent(QCloseEvent *event)
{
    // Transfers end at the user's word only; what they leave unfinished is
    // offered again at the next login to the site.
    if (!FClosing && FRunner->Active()) {
        if (!UserDialogs().Confirm(this, "Transfers are still running. Stop them and quit?")) {
            event->ignore();
            return;
        }
        FRunner->StopAll("Stopped when the window closed.");
    }
    if (!FClosing && !FTools->MayClose())
        return event->ignore();
    if (!FBrowsing->Busy()) {
        // A clean end of the session, which servers log as such.
        if (FBrowsing->Connected()) {
            FConnection->RequestDisconnect();
            FBrowsing->Close();
        }
        QMainWindow::closeEvent(event);
        return;
    }
    // A command runs below this handler: end it as Disconnect does (a
    // download removes its temporary file), and close once it unwound.
    event->ignore();
    if (FClosing)
        return;
    FClosing = true;
    FConnection->RequestDisconnect();
    TApplication::SetQuiet(true);
    FBrowsing->Disconnect();
    const auto closeWhenDone = std::make_shared<std::function<void()>>();
    *closeWhenDone = [this, closeWhenDone] {
        if (FBrowsing->Busy()) {
            QTimer::singleShot(10, this, *closeWhenDone);
            return;
        }
        TApplication::SetQuiet(false);
        close();
    };
    QTimer::singleShot(0, this, *closeWhenDone);
}
