#include "MainForm.h"

#include "AboutForm.h"
#include "Application.h"
#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "ConnectionWorkflow.h"
#include "FileListView.h"
#include "FormSettings.h"
#include "OrlaAboutBox.h"
#include "RemoteFileOperations.h"
#include "RemoteView.h"
#include "ShortcutPriority.h"
#include "StatusBar.h"
#include "SystemTreeView.h"
#include "ToolGlyphs.h"
#include "TransferPanel.h"
#include "TransferRunner.h"
#include "Transfers.h"
#include "UserDialogs.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
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
    WireActions();
    WindowPlacement::FitToFont(*this, {793, 540}, {192, 123}, Panes());

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
    auto *action = new QAction(ImageList1[size_t(image)], text, this);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    action->setToolTip(hint.isEmpty() ? text : hint);
    action->setStatusTip(hint);
    addAction(action);
    return action;
}

void TfrmMain::CreateActions()
{
    actDownload = NewAction("actDownload", "Download Selected File(s).", 2, QKeySequence("Ctrl+D"),
                            "Download a file from the FTP server to your local hard drive.");
    actUpload = NewAction("actUpload", "Upload", 3, QKeySequence("Ctrl+U"),
                          "Upload a file from your system to the FTP Site.");
    actNewFolder = NewAction("actNewFolder", "New Folder", 4, QKeySequence("Ctrl+N"),
                             "Create a new folder on the FTP Server.");
    actDelete = NewAction("actDelete", "Delete", 5, QKeySequence(Qt::Key_Delete),
                          "Delete a file or folder from the FTP Server.");
    actRename = NewAction("actRename", "Rename", 6, QKeySequence("Ctrl+R"),
                          "Rename a file or folder on the FTP Server.");
    actConnect = NewAction("actConnect", "Connect", 1, QKeySequence("Ctrl+F"), "Connect to server.");
    actAbout = NewAction("actAbout", "About", 7, QKeySequence("Ctrl+Alt+A"), "About");
    actUpAFolder = NewAction("actUpAFolder", "Up a Folder", 8, QKeySequence("Alt+Backspace"), QString());
    // The connection-bound actions start disabled, whatever FormCreate reaches.
    SetActionsEnabled(false);
    new TShortcutPriority(this, {actDownload, actUpload, actNewFolder, actRename, actConnect, actAbout});
}

// `title` is what screen readers and the window's bar menu call it.
static QToolBar *NewToolBar(QMainWindow *window, const QString &name, const QString &title)
{
    auto *bar = new QToolBar(title, window);
    bar->setObjectName(name);
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    window->addToolBar(Qt::TopToolBarArea, bar);
    return bar;
}

// A field's label "<name>:", its buddy: screen readers call the field by
// `name`. A gap before it parts it from the field to its left.
static void AddLabel(QToolBar *bar, QWidget *field, const QString &name, bool gapBefore)
{
    auto *label = new QLabel(name + ':');
    const int space = label->fontMetrics().horizontalAdvance(' ');
    label->setContentsMargins(gapBefore ? 3 * space : 0, 0, 2 * space, 0);
    label->setBuddy(field);
    bar->addWidget(label);
    field->setAccessibleName(name);
}

static QToolButton *ButtonFor(QToolBar *bar, QAction *action)
{
    bar->addAction(action);
    auto *button = qobject_cast<QToolButton *>(bar->widgetForAction(action));
    button->setAutoRaise(true);
    return button;
}

void TfrmMain::CreateToolBars()
{
    QToolBar *tbConnection = NewToolBar(this, "tbConnection", "Connection");
    btnConnect = ButtonFor(tbConnection, actConnect);
    btnConnect->setObjectName("btnConnect");
    QToolBar *tbFile = NewToolBar(this, "tbFile", "Transfers");
    ButtonFor(tbFile, actDownload)->setObjectName("btnDownload");
    ButtonFor(tbFile, actUpload)->setObjectName("btnUpload");
    QToolBar *files = NewToolBar(this, "ToolBar2", "Remote files");
    ButtonFor(files, actNewFolder)->setObjectName("btnCreateDir");
    ButtonFor(files, actDelete)->setObjectName("btnDelete");
    ButtonFor(files, actRename)->setObjectName("btnRename");
    files->addSeparator();
    btnUpAFolder = ButtonFor(files, actUpAFolder);
    btnUpAFolder->setObjectName("btnUpAFolder");
    btnUpAFolder->installEventFilter(this);
    ButtonFor(NewToolBar(this, "ToolBar3", "Help"), actAbout)->setObjectName("btnAbout");

    addToolBarBreak();
    CreateConnectionBar();
    addToolBarBreak();
    CreateFolderBar();
}

void TfrmMain::CreateConnectionBar()
{
    QToolBar *tbControl = NewToolBar(this, "tbControl", "Site");
    cbAddress = new QComboBox;
    cbAddress->setObjectName("cbAddress");
    AddLabel(tbControl, cbAddress, "FTP Address", false);
    cbAddress->setEditable(true);
    cbAddress->setInsertPolicy(QComboBox::NoInsert);
    // The bar fills itself from the sites; Qt's own completion and its
    // choosing of a matching item when the focus leaves would fight that.
    cbAddress->setCompleter(nullptr);
    cbAddress->lineEdit()->setAccessibleName("FTP Address");
    cbAddress->view()->setAccessibleName("Saved sites");
    QObject::disconnect(cbAddress->lineEdit(), &QLineEdit::editingFinished, cbAddress, nullptr);
    cbAddress->setFixedWidth(145);
    cbAddress->setToolTip("Site to connect to.\r\n(<CTRL> + <I> to add or update a site permentently to the list.)"
                          "\r\n(<CTRL> + <D> to remove a site permentently from the list.)");
    tbControl->addWidget(cbAddress);

    edUserName = new QLineEdit;
    edUserName->setObjectName("edUserName");
    AddLabel(tbControl, edUserName, "User Name", true);
    edUserName->setFixedWidth(121);
    edUserName->setToolTip("User name to connect as.");
    tbControl->addWidget(edUserName);

    edPassword = new QLineEdit;
    edPassword->setObjectName("edPassword");
    AddLabel(tbControl, edPassword, "Password", true);
    edPassword->setFixedWidth(121);
    edPassword->setEchoMode(QLineEdit::Password);
    edPassword->setStyleSheet("lineedit-password-character: 42");  // '*', not the style's dot
    edPassword->setToolTip("Password to use when connecting to the site.");
    tbControl->addWidget(edPassword);
}

void TfrmMain::CreateFolderBar()
{
    QToolBar *bar = NewToolBar(this, "ToolBar1", "Folder");
    edCurrentDir = new QLineEdit;
    edCurrentDir->setObjectName("edCurrentDir");
    AddLabel(bar, edCurrentDir, "FTP Folder", false);
    edCurrentDir->setFixedWidth(668);
    edCurrentDir->setEnabled(false);
    edCurrentDir->setToolTip("Shows the folder you are currently in, or you can type in a folder and press go to "
                             "\r\nchange to that folder.\r\n(<CTRL> + <I> Sets the current directory as the "
                             "default folder for this FTP Site.)");
    bar->addWidget(edCurrentDir);
    btnChangeFolder = new QToolButton;
    btnChangeFolder->setObjectName("btnChangeFolder");
    btnChangeFolder->setAutoRaise(true);
    btnChangeFolder->setIcon(ChangeFolderGlyph());
    btnChangeFolder->setFixedSize(37, 21);
    btnChangeFolder->setEnabled(false);
    btnChangeFolder->setToolTip("Change directory.");
    btnChangeFolder->setAccessibleName("Go");
    bar->addWidget(btnChangeFolder);
}

void TfrmMain::CreatePages()
{
    Splitter3 = new QSplitter(Qt::Horizontal);
    Splitter3->setObjectName("Splitter3");
    Splitter3->setHandleWidth(3);

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
    Splitter3->addWidget(pcLocalSystem);

    pcRemoteSystem = new QTabWidget;
    pcRemoteSystem->setObjectName("pcRemoteSystem");
    pcRemoteSystem->setAccessibleName("Remote System");
    tsFTP = new QWidget;
    tsFTP->setObjectName("tsFTP");
    auto *remoteLayout = new QHBoxLayout(tsFTP);
    remoteLayout->setContentsMargins(0, 0, 0, 0);
    Splitter2 = new QSplitter(Qt::Horizontal);
    Splitter2->setObjectName("Splitter2");
    Splitter2->setHandleWidth(3);
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
    Splitter2->addWidget(tvFolders);
    Splitter2->addWidget(lvFiles);
    Splitter2->setSizes({201, 380});
    remoteLayout->addWidget(Splitter2);
    pcRemoteSystem->addTab(tsFTP, "Remote System");
    Splitter3->addWidget(pcRemoteSystem);
    // The local tree takes a third of the width, and keeps it as the
    // window grows: deep local paths need the room.
    Splitter3->setSizes({300, 600});
    Splitter3->setStretchFactor(0, 1);
    Splitter3->setStretchFactor(1, 2);
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

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->addWidget(Splitter3);
    Splitter1->addWidget(pcLog);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({340, 120});

    sbMain = new TStatusBar;
    sbMain->setObjectName("sbMain");
    // Panels never narrower than their texts at the desktop's font.
    const QFontMetrics metrics = sbMain->fontMetrics();
    const auto fit = [&](int width, const char *widest) {
        return std::max(width, metrics.horizontalAdvance(widest) + 12);
    };
    sbMain->AddPanel(fit(100, "Status: Offline"), "Status: Offline", "Connection status");
    sbMain->AddPanel(200, {}, "Transfer progress");
    sbMain->AddPanel(fit(180, "Download speed 99,999.99 KB/s"), "Download speed 0.00 KB/s", "Transfer speed");
    sbMain->AddPanel(50, {}, "IP status");
    sbMain->AddPanel(fit(300, "99 transfers: 999.9 MB of 999.9 MB, 999.9 MB/s, 99:99:99 left"), {}, "Transfer queue");
    ProgressBar1 = new QProgressBar;
    ProgressBar1->setObjectName("ProgressBar1");
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedSize(200, 17);
    ProgressBar1->setAccessibleName("Transfer progress");

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Splitter1, 1);
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
    FRemoteView = std::make_unique<TRemoteView>(*this, FTP, ilSystem,
                                                TRemoteView::TWidgets{edCurrentDir, btnChangeFolder, tvFolders, lvFiles});
    FRunner = std::make_unique<TTransferRunner>(
        *this, *FRemoteView, TTransferRunner::TWidgets{ProgressBar1, sbMain->Panel(2), sbMain->Panel(4)});
    TransferPanel = new TTransferPanel(*FRunner);
    TransferPanel->setObjectName("TransferPanel");
    pcLog->addTab(TransferPanel, "Transfers");
    FTransfers = std::make_unique<TTransfers>(*this, FTP, *FRemoteView, *FRunner, TTransfers::TWidgets{SysTree});
    actPassiveMode = new QAction("Passive Mode", this);
    actPassiveMode->setObjectName("PassiveMode1");
    actPassiveMode->setCheckable(true);
    actPassiveMode->setStatusTip("Open data connections from this side: needed behind most home routers.");
    FConnection = std::make_unique<TConnectionWorkflow>(
        *this, FTP, Sites,
        TConnectionWorkflow::TWidgets{cbAddress, edUserName, edPassword, actConnect, actPassiveMode, btnConnect,
                                      sbMain->Panel(0), ImageList1[1], ImageList1[0]},
        TConnectionWorkflow::TParts{*FRemoteView, *FRunner, *FLog});
    FFileOperations = std::make_unique<TRemoteFileOperations>(*this, FTP, *FRemoteView, *FRunner);
    FSettings = std::make_unique<TFormSettings>(
        *this, Panes(), TFormSettings::TParts{Sites, *FConnection, *FRemoteView, *FTransfers, *FRunner, *FLog});
}

void TfrmMain::CreateFilesMenu()
{
    puFiles = new QMenu(this);
    puFiles->setObjectName("puFiles");
    puFiles->setAccessibleName("Remote files");
    puFiles->addAction(actDownload);
    puFiles->addSeparator();
    puFiles->addMenu("View Style")->addActions(FRemoteView->ViewStyleItems());
    puFiles->addSeparator();
    puFiles->addAction(actPassiveMode);
    lvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvFiles, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { puFiles->popup(lvFiles->viewport()->mapToGlobal(at)); });
}

// Every input reaches its part here.
void TfrmMain::WireActions()
{
    connect(actAbout, &QAction::triggered, this, [this] { About->Execute(true); });
    connect(actConnect, &QAction::triggered, this, Guarded([this] { FConnection->Execute(); }));
    connect(actUpAFolder, &QAction::triggered, this, Guarded([this] { FRemoteView->UpAFolder(); }));
    connect(actDownload, &QAction::triggered, this, Guarded([this] { FTransfers->DownloadSelected(); }));
    connect(actUpload, &QAction::triggered, this, Guarded([this] { FTransfers->UploadChosen(); }));
    connect(actNewFolder, &QAction::triggered, this, Guarded([this] { FFileOperations->NewFolder(); }));
    connect(actDelete, &QAction::triggered, this, Guarded([this] { FFileOperations->Delete(); }));
    connect(actRename, &QAction::triggered, this, Guarded([this] { FFileOperations->Rename(); }));

    // A file activated in the list runs the download action, Backspace the
    // up action: enabled or not, as the buttons are.
    connect(FRemoteView.get(), &TRemoteView::FileActivated, actDownload, &QAction::trigger);
    connect(FRemoteView.get(), &TRemoteView::UpRequested, actUpAFolder, &QAction::trigger);
    connect(FRemoteView.get(), &TRemoteView::DefaultFolderChosen, this,
            [this](const QString &folder) { FConnection->SetChosenSiteFolder(folder); });

    // Drags between the local tree and the remote file list.
    lvFiles->OnDragOver = [this](QObject *source, const QMimeData *data) {
        return FTransfers->FileListDragOver(source, data);
    };
    lvFiles->OnDragDrop = [this](QObject *source, const QMimeData *data) {
        Guarded([this, source, data] { FTransfers->FileListDragDrop(source, data); })();
    };
    SysTree->OnChange = [this](TdfsSystemTreeView *, TTreeNode *) { FTransfers->TreeChanged(); };
    SysTree->OnDragOver = [this](TdfsCustomSystemTreeView *, QObject *source, int, int, bool &accept) {
        accept = FTransfers->TreeDragOver(source);
    };
    SysTree->OnDragDrop = [this](TdfsCustomSystemTreeView *, QObject *source, int, int, const QMimeData *) {
        Guarded([this, source] { FTransfers->TreeDragDrop(source); })();
    };

    // Machine listings and UTF-8 names where the server offers them.
    FTP.AskFeatures = true;
    // The client's events.
    FTP.OnStatus = [this](TIdComponent *, TIdStatus status, const std::string &text) { FTPStatus(status, text); };
    FTP.OnConnected = [this](TIdTCPClient *) { FConnection->Connected(); };
    FTP.OnDisconnected = [this](TIdTCPConnection *) { FConnection->Disconnected(); };
    FTPLog.OnLogItem = [this](TIdLogDebug *, std::string &text) { FLog->ProtocolItem(text); };
}

// ---- start and end ------------------------------------------------------------

void TfrmMain::FormCreate()
{
    ProgressBar1->setParent(sbMain);
    ProgressBar1->move(sbMain->PanelLeft(1) + 1, 2);
    ProgressBar1->show();
    pcRemoteSystem->setCurrentWidget(tsFTP);
    AppVersion.SetExecutableFile(ProgramFile().toStdString());
    setWindowTitle(windowTitle() + " - v" + QString::fromStdString(AppVersion.FileVersion));
    FSettings->ImportIni();
    FSettings->Load();
    SetActionsEnabled(false);
}

void TfrmMain::FormDestroy()
{
    FSettings->Save();
}

std::vector<QSplitter *> TfrmMain::Panes() const
{
    return {Splitter1, Splitter2, Splitter3};
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
    for (QAction *action : {actDownload, actUpload, actNewFolder, actDelete, actRename, actUpAFolder})
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
    if (!FTP.Busy()) {
        // A clean end of the session, which servers log as such.
        if (FTP.Connected()) {
            FConnection->RequestDisconnect();
            FTP.Quit();
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
    FTP.Disconnect();
    const auto closeWhenDone = std::make_shared<std::function<void()>>();
    *closeWhenDone = [this, closeWhenDone] {
        if (FTP.Busy()) {
            QTimer::singleShot(10, this, *closeWhenDone);
            return;
        }
        TApplication::SetQuiet(false);
        close();
    };
    QTimer::singleShot(0, this, *closeWhenDone);
}
