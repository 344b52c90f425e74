#include "MainForm.h"

#include "Application.h"
#include "HostAddress.h"
#include "CommonFunctions.h"
#include "IDEEnhance.h"
#include "RemoteName.h"
#include "ShortcutPriority.h"
#include "AboutForm.h"
#include "OrlaAboutBox.h"
#include "StatusBar.h"
#include "SystemTreeView.h"
#include "ToolGlyphs.h"
#include "WindowPlacement.h"

#include <QAction>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QActionGroup>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QProgressBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <QCloseEvent>

TfrmMain::TfrmMain(QWidget *parent) : QMainWindow(parent)
{
    setWindowTitle("Veldra");
    ImageList1 = ToolGlyphs();

    CreateActions();
    CreateCoolBar();
    CreatePages();
    CreateLogAndStatusBar();
    CreateComponents();
    CreateFilesMenu();
    WindowPlacement::FitToFont(*this, {793, 540}, {192, 123}, Panes());

    About = new TOrlaAboutBox(this);
    About->AboutImage = AboutPicture();
    About->StretchAboutPic = false;
    OpenDialog1.Kind = TFileDialog::TKind::Open;
    OpenDialog1.MultiSelect = true;
    SaveDialog1.Kind = TFileDialog::TKind::Save;

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
    // The units the events reach go before the client does.
    FTP.OnStatus = nullptr;
    FTP.OnConnected = nullptr;
    FTP.OnDisconnected = nullptr;
    FTP.OnWorkBegin = nullptr;
    FTP.OnWork = nullptr;
    FTP.OnWorkEnd = nullptr;
    ShellUi::SetHintHandler(nullptr);
    ShellUi::SetErrorHandler(nullptr);
}

// ---- building the window ----------------------------------------------------

QAction *TfrmMain::NewAction(const QString &text, int image, const QKeySequence &shortcut, const QString &hint)
{
    auto *action = new QAction(ImageList1[size_t(image)], text, this);
    action->setShortcut(shortcut);
    action->setToolTip(hint.isEmpty() ? text : hint);
    action->setStatusTip(hint);
    addAction(action);
    return action;
}

void TfrmMain::CreateActions()
{
    actDownload = NewAction("Download Selected File(s).", 2, QKeySequence("Ctrl+D"),
                            "Download a file from the FTP server to your local hard drive.");
    actUpload = NewAction("Upload", 3, QKeySequence("Ctrl+U"), "Upload a file from your system to the FTP Site.");
    actNewFolder = NewAction("New Folder", 4, QKeySequence("Ctrl+N"), "Create a new folder on the FTP Server.");
    actDelete = NewAction("Delete", 5, QKeySequence(Qt::Key_Delete), "Delete a file or folder from the FTP Server.");
    actRename = NewAction("Rename", 6, QKeySequence("Ctrl+R"), "Rename a file or folder on the FTP Server.");
    actConnect = NewAction("Connect", 1, QKeySequence("Ctrl+F"), "Connect to server.");
    actAbout = NewAction("About", 7, QKeySequence("Ctrl+Alt+A"), "About");
    actUpAFolder = NewAction("Up a Folder", 8, QKeySequence("Alt+Backspace"), QString());
    // The connection-bound actions start disabled, whatever FormCreate reaches.
    SetActionsEnabled(false);

    connect(actAbout, &QAction::triggered, this, &TfrmMain::actAboutExecute);
    connect(actConnect, &QAction::triggered, this, Guarded([this] { actConnectExecute(); }));
    connect(actUpAFolder, &QAction::triggered, this, Guarded([this] { actUpAFolderExecute(); }));
    connect(actDownload, &QAction::triggered, this, Guarded([this] { actDownloadExecute(); }));
    connect(actUpload, &QAction::triggered, this, Guarded([this] { actUploadExecute(); }));
    connect(actNewFolder, &QAction::triggered, this, Guarded([this] { actNewFolderExecute(); }));
    connect(actDelete, &QAction::triggered, this, Guarded([this] { actDeleteExecute(); }));
    connect(actRename, &QAction::triggered, this, Guarded([this] { actRenameExecute(); }));
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

void TfrmMain::CreateCoolBar()
{
    tbConnection = NewToolBar(this, "tbConnection", "Connection");
    btnConnect = ButtonFor(tbConnection, actConnect);
    tbFile = NewToolBar(this, "tbFile", "Transfers");
    btnDownload = ButtonFor(tbFile, actDownload);
    btnUpload = ButtonFor(tbFile, actUpload);
    ToolBar2 = NewToolBar(this, "ToolBar2", "Remote files");
    btnCreateDir = ButtonFor(ToolBar2, actNewFolder);
    btnDelete = ButtonFor(ToolBar2, actDelete);
    btnRename = ButtonFor(ToolBar2, actRename);
    ToolBar2->addSeparator();
    btnUpAFolder = ButtonFor(ToolBar2, actUpAFolder);
    btnUpAFolder->installEventFilter(this);
    ToolBar3 = NewToolBar(this, "ToolBar3", "Help");
    btnAbout = ButtonFor(ToolBar3, actAbout);

    addToolBarBreak();
    CreateConnectionBar();
    addToolBarBreak();
    CreateFolderBar();
}

void TfrmMain::CreateConnectionBar()
{
    tbControl = NewToolBar(this, "tbControl", "Site");
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

    // Typing or choosing an item; programmatic changes call it themselves.
    // Typed text is no chosen item, even when it equals one.
    connect(cbAddress->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        if (cbAddress->currentIndex() != -1) {
            const int cursor = cbAddress->lineEdit()->cursorPosition();
            const QSignalBlocker blocker(cbAddress);
            cbAddress->setCurrentIndex(-1);
            cbAddress->setEditText(text);
            cbAddress->lineEdit()->setCursorPosition(cursor);
        }
        cbAddressChange();
    });
    connect(cbAddress, &QComboBox::activated, this, [this] { cbAddressChange(); });
    for (QWidget *input : {static_cast<QWidget *>(cbAddress), static_cast<QWidget *>(cbAddress->lineEdit()),
                           static_cast<QWidget *>(edUserName), static_cast<QWidget *>(edPassword)})
        input->installEventFilter(this);
}

void TfrmMain::CreateFolderBar()
{
    ToolBar1 = NewToolBar(this, "ToolBar1", "Folder");
    edCurrentDir = new QLineEdit;
    edCurrentDir->setObjectName("edCurrentDir");
    AddLabel(ToolBar1, edCurrentDir, "FTP Folder", false);
    edCurrentDir->setFixedWidth(668);
    edCurrentDir->setEnabled(false);
    edCurrentDir->setToolTip("Shows the folder you are currently in, or you can type in a folder and press go to "
                             "\r\nchange to that folder.\r\n(<CTRL> + <I> Sets the current directory as the "
                             "default folder for this FTP Site.)");
    ToolBar1->addWidget(edCurrentDir);
    btnChangeFolder = new QToolButton;
    btnChangeFolder->setObjectName("btnChangeFolder");
    btnChangeFolder->setAutoRaise(true);
    btnChangeFolder->setIcon(ChangeFolderGlyph());
    btnChangeFolder->setFixedSize(37, 21);
    btnChangeFolder->setEnabled(false);
    btnChangeFolder->setToolTip("Change directory.");
    btnChangeFolder->setAccessibleName("Go");
    ToolBar1->addWidget(btnChangeFolder);
}

void TfrmMain::CreatePages()
{
    Splitter3 = new QSplitter(Qt::Horizontal);
    Splitter3->setObjectName("Splitter3");
    Splitter3->setHandleWidth(3);

    pcLocalSystem = new QTabWidget;
    pcLocalSystem->setAccessibleName("Local System");
    SysTree = new TdfsSystemTreeView;
    SysTree->setObjectName("SysTree");
    SysTree->setAccessibleName("Local folders");
    SysTree->SetShowFiles(true);
    SysTree->SetDragMode(dmAutomatic);
    SysTree->SetIndent(19);
    SysTree->OnChange = [this](TdfsSystemTreeView *, TTreeNode *) { SysTreeChange(); };
    SysTree->OnDragOver = [this](TdfsCustomSystemTreeView *, QObject *source, int, int, bool &accept) {
        accept = SysTreeDragOver(source);
    };
    SysTree->OnDragDrop = [this](TdfsCustomSystemTreeView *, QObject *, int, int, const QMimeData *) {
        Guarded([this] { SysTreeDragDrop(); })();
    };
    pcLocalSystem->addTab(SysTree, "Local System");
    Splitter3->addWidget(pcLocalSystem);

    pcRemoteSystem = new QTabWidget;
    pcRemoteSystem->setAccessibleName("Remote System");
    tsFTP = new QWidget;
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
    lvFiles = new TFileListView(&ilSystem);
    lvFiles->setObjectName("lvFiles");
    lvFiles->setAccessibleName("Remote files");
    lvFiles->setToolTip("List of files in the current folder.");
    lvFiles->OnDragOver = [this](QObject *source, const QMimeData *data) { return lvFilesDragOver(source, data); };
    lvFiles->OnDragDrop = [this](QObject *source, const QMimeData *data) {
        Guarded([this, source, data] { lvFilesDragDrop(source, data); })();
    };
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
    Panel2 = new QWidget;
    auto *logLayout = new QVBoxLayout(Panel2);
    logLayout->setContentsMargins(0, 0, 0, 0);
    lbConnection = new QListWidget;
    lbConnection->setObjectName("lbConnection");
    lbConnection->setAccessibleName("Log");
    logLayout->addWidget(lbConnection);

    puLog = new QMenu(this);
    puLog->setAccessibleName("Log");
    ClearLog1 = puLog->addAction("Clear Log");
    connect(ClearLog1, &QAction::triggered, this, &TfrmMain::ClearLog1Click);
    // The control connection's lines in the log, as every FTP client's
    // message log shows them; kept in the settings.
    ShowProtocol1 = puLog->addAction("Show Protocol");
    ShowProtocol1->setCheckable(true);
    ShowProtocol1->setChecked(true);
    connect(ShowProtocol1, &QAction::toggled, this, [this](bool on) { FTPLog.SetActive(on); });
    lbConnection->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lbConnection, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { puLog->popup(lbConnection->viewport()->mapToGlobal(at)); });

    Splitter1 = new QSplitter(Qt::Vertical);
    Splitter1->setObjectName("Splitter1");
    Splitter1->setHandleWidth(3);
    Splitter1->addWidget(Splitter3);
    Splitter1->addWidget(Panel2);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setSizes({380, 65});

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
    ProgressBar1 = new QProgressBar;
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
    FTP.OnStatus = [this](TIdComponent *, TIdStatus status, const std::string &text) { FTPStatus(status, text); };
    FTP.OnConnected = [this](TIdTCPClient *) { FTPConnected(); };
    FTP.OnDisconnected = [this](TIdTCPConnection *) { FTPDisconnected(); };
    FTP.OnWorkBegin = [this](TIdComponent *, TWorkMode mode, int64_t countMax) { FTPWorkBegin(mode, countMax); };
    FTP.OnWork = [this](TIdComponent *, TWorkMode mode, int64_t count) { FTPWork(mode, count); };
    FTP.OnWorkEnd = [this](TIdComponent *, TWorkMode mode) { FTPWorkEnd(mode); };

    AntiFreeze.IdleTimeOut = 50;
    AntiFreeze.OnlyWhenIdle = false;

    FTPLog.SetTarget(ltEvent);
    FTPLog.LogTime = false;  // the log adds its own time, in IDE-hooks mode
    FTPLog.SetActive(true);
    FTPLog.OnLogItem = [this](TIdLogDebug *sender, std::string &text) { FTPLogLogItem(sender, text); };
    FTP.SetIntercept(&FTPLog);
    FTP.SetInterceptEnabled(true);

    IPWatch.HistoryEnabled = false;
    IPWatch.HistoryFilename = "iphist.dat";
    IPWatch.OnStatus = [this](TIdComponent *sender, TIdStatus status, const std::string &text) {
        IPWatchStatus(sender, status, text);
    };
    IPWatch.SetActive(true);

    // The local tree's messages are the program's: tests answer them too.
    ShellUi::SetErrorHandler([](QWidget *owner, const QString &text) { UserDialogs().ShowError(owner, text); });
    // The hint of a hovered menu item: "verb|help text"; the help shows.
    ShellUi::SetHintHandler([this](const QString &hint) { sbMain->SetSimpleText(hint.section('|', 1)); });
}

void TfrmMain::CreateFilesMenu()
{
    puFiles = new QMenu(this);
    puFiles->setAccessibleName("Remote files");
    puFiles->addAction(actDownload);
    puFiles->addSeparator();
    QMenu *styles = puFiles->addMenu("View Style");
    auto *group = new QActionGroup(this);
    const auto radio = [&](const QString &text, TViewStyle style) {
        QAction *item = styles->addAction(text);
        item->setCheckable(true);
        group->addAction(item);
        connect(item, &QAction::triggered, this, Guarded([this, style] { SetFileViewStyle(style); }));
        return item;
    };
    Icon1 = radio("Icon", vsIcon);
    List1 = radio("List", vsList);
    Report1 = radio("Report", vsReport);
    SmallIcon1 = radio("Small Icon", vsSmallIcon);
    Report1->setEnabled(false);
    SmallIcon1->setChecked(true);
    lvFiles->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvFiles, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { puFiles->popup(lvFiles->viewport()->mapToGlobal(at)); });

    connect(btnChangeFolder, &QToolButton::clicked, this, Guarded([this] { btnChangeFolderClick(); }));
    // A double-click anywhere in the folder tree, empty space too, goes to
    // the selected node.
    for (QObject *watched : {static_cast<QObject *>(edCurrentDir), static_cast<QObject *>(tvFolders),
                             static_cast<QObject *>(tvFolders->viewport()), static_cast<QObject *>(lvFiles),
                             static_cast<QObject *>(lvFiles->viewport())})
        watched->installEventFilter(this);
}

// ---- start and end ------------------------------------------------------------

void TfrmMain::FormCreate()
{
    Transfers.SizePreset = false;
    ProgressBar1->setParent(sbMain);
    ProgressBar1->move(sbMain->PanelLeft(1) + 1, 2);
    ProgressBar1->show();
    pcRemoteSystem->setCurrentWidget(tsFTP);
    AppVersion.SetExecutableFile(ProgramFile().toStdString());
    setWindowTitle(windowTitle() + " - v" + QString::fromStdString(AppVersion.FileVersion));
    ImportIniSettings();
    LoadSettings();
    SetActionsEnabled(false);
}

void TfrmMain::FormDestroy()
{
    SaveSettings();
}

// ---- the log and the actions ------------------------------------------------

void TfrmMain::SetActionsEnabled(bool on)
{
    // Whatever asks, offline they stay off.
    on = on && Connection.Online();
    for (QAction *action : {actDownload, actUpload, actNewFolder, actDelete, actRename, actUpAFolder})
        action->setEnabled(on);
}

void TfrmMain::IPWatchStatus(TIdComponent *, TIdStatus, const std::string &asStatusText)
{
    sbMain->SetPanelText(3, QString::fromStdString(asStatusText));
}

void TfrmMain::actAboutExecute()
{
    About->Execute(true);
}

bool TfrmMain::eventFilter(QObject *watched, QEvent *event)
{
    try {
        if (event->type() == QEvent::KeyPress) {
            auto *key = static_cast<QKeyEvent *>(event);
            // The combo box takes the keys itself and hands them to its line
            // edit past any filter: the filter sits on both.
            if (watched == cbAddress || watched == cbAddress->lineEdit() || watched == edUserName ||
                watched == edPassword)
                return cbAddressKeyPress(key);
            if (watched == edCurrentDir)
                return edCurrentDirKeyPress(key);
            if (watched == tvFolders)
                return tvFoldersKeyPress(key);
            if (watched == lvFiles)
                return lvFilesKeyPress(key);
        } else if (event->type() == QEvent::MouseButtonDblClick && watched == lvFiles->viewport()) {
            lvFilesDblClick();
        } else if (event->type() == QEvent::MouseButtonDblClick && watched == tvFolders->viewport()) {
            tvFoldersDblClick();
        } else if (event->type() == QEvent::EnabledChange && watched == edCurrentDir) {
            btnChangeFolder->setEnabled(edCurrentDir->isEnabled());
        } else if (event->type() == QEvent::ToolTip && watched == btnUpAFolder) {
            return true;  // "Up a Folder" has no hint
        }
    } catch (...) {
        TApplication::HandleException();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---- busy state and closing -------------------------------------------------------

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

void TfrmMain::closeEvent(QCloseEvent *event)
{
    if (!FTP.Busy()) {
        // A clean end of the session, which servers log as such.
        if (FTP.Connected()) {
            Connection.RequestDisconnect();
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
    Connection.RequestDisconnect();
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
