#include "ConnectionWorkflow.h"

#include "Application.h"
#include "BrowsingSession.h"
#include "ConnectionLog.h"
#include "FailureText.h"
#include "HostAddress.h"
#include "IdException.h"
#include "IdFTP.h"
#include "RemoteName.h"
#include "SshQuestions.h"
#include "RemoteView.h"
#include "SiteFields.h"
#include "SiteSession.h"
#include "Protocols.h"
#include "SiteList.h"
#include "StatusBar.h"
#include "SystemProxy.h"
#include "TransferRunner.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScopeGuard>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QToolButton>

TConnectionWorkflow::TConnectionWorkflow(TWindowServices &window, TIdFTP &ftp, TSiteList &sites,
                                         const TWidgets &widgets, const TParts &parts)
    : FWindow(window), FFtp(ftp), FSites(sites), W(widgets), FParts(parts), FBox(widgets.Address, sites)
{
    // A keyring that is there but refused (left locked): a password goes
    // into the file in clear only when the user says so, once a run.
    FSecrets.AskKeepInFile = [this] {
        TChoiceQuestion question;
        question.Text = "Keep the password in the settings file, unencrypted?";
        question.Details = "The keyring is locked or refused it. \"Don't save it\" keeps the password for this run "
                           "only.";
        question.Answers = {"&Keep It Unencrypted", "&Don't Save It"};
        question.Default = 1;
        return UserDialogs().Choose(FWindow.DialogOwner(), question).Answer == 0;
    };
    // What another protocol's connection says of itself; FTP's client
    // tells the log itself.
    FParts.Browsing.OnStatus = [this](const std::string &line) { FWindow.AddToLog(QString::fromUtf8(line)); };
    // An SSH log-in's questions, over the window; no hourglass while the
    // user reads.
    FParts.Browsing.OnHostKey = [this](const THostKeyQuestion &question) {
        FWindow.SetBusyCursor(false);
        const TTrustAnswer answer = AskHostKey(FWindow.DialogOwner(), question);
        FWindow.SetBusyCursor(true);
        return answer;
    };
    FParts.Browsing.OnPrompt = [this](const TLoginPrompt &prompt, std::string &answer) {
        FWindow.SetBusyCursor(false);
        const bool answered = AskLoginPrompt(FWindow.DialogOwner(), prompt, answer);
        FWindow.SetBusyCursor(true);
        return answered;
    };
    // Typing or choosing an item; programmatic changes call it themselves.
    // Typed text is no chosen item, even when it equals one.
    connect(W.Address->lineEdit(), &QLineEdit::textEdited, this, [this](const QString &text) {
        if (W.Address->currentIndex() != -1) {
            const int cursor = W.Address->lineEdit()->cursorPosition();
            const QSignalBlocker blocker(W.Address);
            W.Address->setCurrentIndex(-1);
            W.Address->setEditText(text);
            W.Address->lineEdit()->setCursorPosition(cursor);
        }
        FBox.Complete();
        AddressChanged();
    });
    connect(W.Address, &QComboBox::activated, this, [this] { AddressChanged(); });
    // A password typed into the address leaves it as soon as the typing
    // ends, before anything shows, logs or keeps the address.
    connect(W.Address->lineEdit(), &QLineEdit::editingFinished, this, [this] { TakeLoginFromAddress(); });
    // Also in the middle of a session: the next transfer goes that way.
    connect(W.PassiveMode, &QAction::toggled, this, [this](bool on) {
        FFtp.Passive = on;
        FParts.Transfers.SetPassive(on);
    });
    // The bar's key (Enter). The combo box takes the keys
    // itself and hands them to its line edit past any filter: the filter
    // sits on both.
    for (QObject *input : {static_cast<QObject *>(W.Address), static_cast<QObject *>(W.Address->lineEdit()),
                           static_cast<QObject *>(W.UserName), static_cast<QObject *>(W.Password)})
        input->installEventFilter(this);
}

void TConnectionWorkflow::Execute()
{
    if (FParts.Browsing.Connected()) {
        // The queue's transfers end with the session, at the user's word.
        if (FParts.Transfers.Active()) {
            if (!UserDialogs().Confirm(FWindow.DialogOwner(), "Transfers are still running. Stop them and disconnect?"))
                return;
            FParts.Transfers.StopAll("Stopped by the disconnect.");
        }
        RequestDisconnect();
        FParts.Browsing.Close();
        return;
    }
    Connect();
}

void TConnectionWorkflow::RequestDisconnect()
{
    FDisconnectRequested = true;
    FParts.RemoteView.DisconnectRequested();
}

void TConnectionWorkflow::Connect()
{
    // A session the server ended is not taken up again: this is anew.
    FOnline = false;
    FParts.Browsing.Revive = nullptr;
    // The status events have told most of the story in the log; the
    // failure itself is said in words there, and a server's refusal
    // ("530 Login incorrect.") in a message box as well: the user must act.
    TakeLoginFromAddress();
    const int siteIndex = FBox.ChosenSite();
    const TSiteEntry *site = siteIndex >= 0 ? &FSites[siteIndex] : nullptr;
    THostAddress address = site ? HostAddressOf(*site) : SplitHostAddress(W.Address->currentText());
    // A typed address that names a folder opens it, as one from outside does.
    if (!site && FOpenFolder.isEmpty())
        FOpenFolder = address.Path;
    if (!address.Unsupported.isEmpty()) {
        FWindow.AddToLog(address.Unsupported);
        FParts.Log.BringToFront();
        return;
    }
    bool refusedByServer = false, loggedIn = false;
    try {
        QString password;
        if (!PasswordToConnect(site, password))
            return;
        switch (FPlainLogin.Ask(FWindow.DialogOwner(), address, W.UserName->text(), password)) {
        case TPlainLoginWarning::Cancel:
            return;
        case TPlainLoginWarning::UseTLS:
            if (address.Security == THostAddress::Plain) {
                address.Security = THostAddress::ExplicitTLS;
                address.Scheme = QStringLiteral("ftpes");
            }
            break;
        case TPlainLoginWarning::Unencrypted:
            break;
        }
        FWindow.SetBusyCursor(true);
        FDisconnectRequested = false;
        FConnectedSite = site ? site->Uid : QString();
        FConnectedName = site ? site->Name : AddressWithoutLogin(W.Address->currentText());
        MakeSession(address, site, password);
        FFtp.OnVerifyCertificate = [this, address](const TIdCertificateInfo &certificate) {
            // The question waits for the user: no hourglass meanwhile.
            FWindow.SetBusyCursor(false);
            const bool accepted = FTrust.Accept(FWindow.DialogOwner(), address.Host, address.Port, certificate);
            FWindow.SetBusyCursor(true);
            return accepted;
        };
        FParts.Log.Clear();
        try {
            FParts.Browsing.Connect(FSession);
        } catch (const EIdProtocolReplyError &) {
            refusedByServer = true;
            throw;
        }
        LoggedIn();
        loggedIn = true;
        if (address.Security == THostAddress::Plain)
            FWindow.AddToLog("The connection is not encrypted.");
        StartTransferSession();
        if (site) {
            FParts.Transfers.SetSiteLimit(site->Transfers);
            if (site->Transfers > 0)
                FWindow.AddToLog(QStringLiteral("This site runs %1 transfer%2 at a time.")
                                     .arg(std::min(site->Transfers, TTransferRunner::MaxSimultaneous))
                                     .arg(site->Transfers == 1 ? "" : "s"));
            if (!site->LocalFolder.isEmpty() && OpenLocalFolder)
                OpenLocalFolder(site->LocalFolder);
        } else {
            FParts.Transfers.SetSiteLimit(0);
            FBox.Remember(W.Address->currentText());
        }
        FParts.RemoteView.SetFolderText(site ? site->DefaultFolder : std::exchange(FOpenFolder, QString()));
        // Without a start folder, the login folder: an empty change-folder
        // request is refused by some servers and sends others to the root.
        FParts.RemoteView.EnterStartFolder(FParts.RemoteView.FolderText().toStdString());
    } catch (const EAbort &) {
        FWindow.SetBusyCursor(false);  // the user's own doing, told already
    } catch (...) {
        FWindow.SetBusyCursor(false);
        const QString text = loggedIn ? TApplication::ExceptionText(std::current_exception())
                                      : ConnectFailureText(std::current_exception(), address.Host, address.Port);
        FWindow.AddToLog(text);
        if (refusedByServer)
            UserDialogs().ShowError(FWindow.DialogOwner(), text);
        else
            FParts.Log.BringToFront();  // where the user looks, the line marked
    }
}

void TConnectionWorkflow::MakeSession(const THostAddress &address, const TSiteEntry *site, const QString &password)
{
    // The session, made once: this connection's, and the transfers'.
    FSession = TSessionSettings{};
    FSession.Protocol = address.Scheme.toStdString();
    FSession.Host = address.Host.toStdString();
    FSession.Port = address.Port;
    FSession.UseTLS = address.Security == THostAddress::ExplicitTLS   ? utUseExplicitTLS
                      : address.Security == THostAddress::ImplicitTLS ? utUseImplicitTLS
                                                                      : utNoTLS;
    FSession.Passive = W.PassiveMode->isChecked();
    // "sftp://ann@host" names its user.
    if (!address.User.isEmpty())
        W.UserName->setText(address.User);
    FSession.User = W.UserName->text().toStdString();
    FSession.Secret = password.toStdString();
    // The system's proxy is the one the environment names for this host.
    FSession.Proxy = FProxy.Version == svSystemProxy ? SystemProxy(FSession.Host) : FProxy;
    if (site)
        ApplySite(*site, FSession);
    // Names in the site's charset; one this system lacks is said, and the
    // names are read as UTF-8 where they are.
    if (!SetRemoteNameCharset(QString::fromStdString(FSession.Charset))) {
        FWindow.AddToLog(QStringLiteral("The charset \"%1\" is unknown here: names are read as UTF-8.")
                             .arg(QString::fromStdString(FSession.Charset)));
        FSession.Charset.clear();
        SetRemoteNameCharset({});
    }
}

void TConnectionWorkflow::Connected()
{
    // Online only once the login has succeeded.
}

void TConnectionWorkflow::LoggedIn()
{
    FOnline = true;
    // What a screen reader and the menu call it follows what it does (the
    // button takes the action's text: its own words come after).
    W.Connect->setText("Disconnect");
    W.ConnectButton->setIcon(W.DisconnectGlyph);
    W.ConnectButton->setToolTip("Disconnect from server.");
    W.ConnectButton->setAccessibleName("Disconnect");
    SetPanelText(W.StatusPanel, "Status: Online");
    if (OnSession)
        OnSession(FConnectedName);
    FWindow.SetActionsEnabled(true);
    FParts.RemoteView.SetOnline(true);
    W.Address->setEnabled(false);
    W.UserName->setEnabled(false);
    W.Password->setEnabled(false);
    FWindow.SetBusyCursor(false);
    WatchIdleConnection();
}

void TConnectionWorkflow::Disconnected()
{
    StopWatching();
    // Gone while no command ran and no one asked: the server ended it (a
    // command that was running says so in its own words). What the window
    // shows stays, and the user's next action connects again.
    const bool dropped = FOnline && !FDisconnectRequested && (FReadingIdle || !FParts.Browsing.Busy());
    if (dropped && !FReadingIdle) {
        std::string notice = FFtp.InBufferSize() > 0 ? FFtp.TakeBytes(FFtp.InBufferSize()) : std::string();
        TellServerClosed(Trim(notice));
    }
    ShowOffline(dropped);
}

void TConnectionWorkflow::ShowOffline(bool resumable)
{
    FOnline = resumable;
    W.Connect->setText("Connect");
    W.ConnectButton->setIcon(W.ConnectGlyph);
    W.ConnectButton->setToolTip("Connect to server.");
    W.ConnectButton->setAccessibleName("Connect");
    SetPanelText(W.StatusPanel, "Status: Offline");
    W.Address->setEnabled(true);
    W.UserName->setEnabled(true);
    W.Password->setEnabled(true);
    // Transfers have a connection of their own, and may go on.
    if (!FParts.Transfers.Active())
        FParts.Transfers.ResetDisplay();
    if (resumable) {
        FParts.Browsing.Revive = [this] { Revive(); };
        return;
    }
    FParts.Browsing.Revive = nullptr;
    if (OnSession)
        OnSession({});
    FWindow.SetActionsEnabled(false);
    FParts.RemoteView.SetOnline(false);
    FParts.RemoteView.Clear();
}

void TConnectionWorkflow::Revive()
{
    FParts.Browsing.Revive = nullptr;
    FWindow.AddToLog(QStringLiteral("Connecting to %1 again.").arg(FConnectedName));
    FWindow.SetBusyCursor(true);
    const auto idle = qScopeGuard([this] { FWindow.SetBusyCursor(false); });
    // A failure on the way is a connect that failed: offline for good.
    FOnline = false;
    FDisconnectRequested = false;
    try {
        FParts.Browsing.Connect(FSession);
    } catch (...) {
        ShowOffline(false);
        throw;
    }
    LoggedIn();
    // Where the views are, for the call that follows.
    if (const std::string folder = FParts.RemoteView.ListedFolder(); !folder.empty())
        FParts.Browsing.EnterFolder(folder);
}

// ---- the idle connection ------------------------------------------------------

void TConnectionWorkflow::WatchIdleConnection()
{
    StopWatching();
    // FTP's control connection, or the socket of another protocol's.
    const int handle = FParts.Browsing.SpeaksFtp() ? FFtp.Socket()->Handle : FParts.Browsing.IdleHandle();
    if (handle < 0)
        return;
    FIdleWatch = new QSocketNotifier(handle, QSocketNotifier::Read, this);
    connect(FIdleWatch, &QSocketNotifier::activated, this, Guarded([this] { IdleConnectionReadable(); }));
}

void TConnectionWorkflow::StopWatching()
{
    // This may run inside the notifier's own signal.
    if (FIdleWatch) {
        FIdleWatch->setEnabled(false);
        FIdleWatch->deleteLater();
    }
    FIdleWatch = nullptr;
}

void TConnectionWorkflow::IdleConnectionReadable()
{
    if (!FIdleWatch)
        return;
    // A command's reply is that command's to read: look again later.
    if (FParts.Browsing.SpeaksFtp() ? FFtp.Busy() : FParts.Browsing.Busy()) {
        FIdleWatch->setEnabled(false);
        // Only while it is still the watch of a live connection: a
        // stopped one waits for its deletion, its socket already closed.
        QTimer::singleShot(100, FIdleWatch, [this, watch = FIdleWatch] {
            if (watch == FIdleWatch)
                watch->setEnabled(true);
        });
        return;
    }
    if (!FParts.Browsing.SpeaksFtp()) {
        // Its end is told as the session closes.
        FParts.Browsing.CheckIdle();
        return;
    }
    FReadingIdle = true;
    const std::string notice = FFtp.ReadIdleNotice();
    FReadingIdle = false;
    if (!FFtp.Connected())
        TellServerClosed(notice);
}

void TConnectionWorkflow::StartTransferSession()
{
    // What the login settled (a mode given up, the certificate or host key
    // taken, a password typed): the queue's connections take it as it is.
    FParts.Browsing.Settle(FSession);
    // A password typed at the log-in's question is the session's as if
    // typed in the bar: saving the site keeps it, in the keyring.
    if (W.Password->text().isEmpty() && !FSession.Secret.empty())
        W.Password->setText(QString::fromStdString(FSession.Secret));
    const int site = FBox.ChosenSite();
    TSiteEntry typed;
    typed.Address = W.Address->currentText();
    typed.UserName = W.UserName->text();
    FParts.Transfers.SetSession(FSession, TSiteSecrets::Key(site >= 0 ? FSites[site] : typed),
                                site >= 0 ? FSites[site].Path() : typed.Address);
    OfferUnfinishedWhenListed();
}

void TConnectionWorkflow::OfferUnfinishedWhenListed()
{
    // After the first listing: the question waits until the window is
    // filled, and never stops a listing half way.
    QTimer::singleShot(FParts.Browsing.Busy() ? 50 : 0, this, Guarded([this] {
        if (!FOnline)
            return;
        if (FParts.Browsing.Busy())
            OfferUnfinishedWhenListed();
        else
            FParts.Transfers.OfferUnfinished();
    }));
}

bool TConnectionWorkflow::PasswordToConnect(const TSiteEntry *site, QString &password)
{
    password = W.Password->text();
    if (!password.isEmpty() || !site)
        return true;
    if (AsksForPassword(*site)) {
        // Asked each time, and kept for this connection alone.
        const QString prompt = QStringLiteral("Password of %1 at %2:").arg(W.UserName->text(), site->Path());
        return UserDialogs().AskSecret(FWindow.DialogOwner(), "Password", prompt, password);
    }
    // A saved site's password comes from the store now, when it is needed
    // and not before: a store that prompts does so over the window.
    if (!site->PasswordInStore)
        return true;
    TSiteEntry &saved = FSites[FBox.ChosenSite()];
    saved.Password = FSecrets.Password(saved);
    if (saved.Password.isEmpty() && !FSecrets.StoreWorking())
        TellWhereKept(FSecrets.StoreMissing() ? TSiteSecrets::InFile : TSiteSecrets::InMemory);
    W.Password->setText(saved.Password);
    password = saved.Password;
    return true;
}

void TConnectionWorkflow::TellWhereKept(TSiteSecrets::TPlace place)
{
    if (place == TSiteSecrets::InStore || !FToldWhereKept.insert(place).second)
        return;
    if (FSecrets.StoreMissing())
        FWindow.AddToLog("No keyring is running: saved passwords are kept in the settings file, which only you can read.");
    else
        FWindow.AddToLog(place == TSiteSecrets::InFile
                             ? QStringLiteral("The keyring cannot be used: saved passwords are kept in the settings "
                                              "file, unencrypted.")
                             : QStringLiteral("The keyring cannot be used: passwords are kept for this session only, "
                                              "and typed again in the next."));
    if (const QString why = FSecrets.StoreFailure(); !why.isEmpty())
        FWindow.AddToLog("The keyring said: " + why);
}

void TConnectionWorkflow::TellServerClosed(const std::string &notice)
{
    FWindow.AddToLog(notice.empty() ? QStringLiteral("The server closed the connection.")
                                    : "The server closed the connection: " + RemoteDisplayName(notice));
}

// ---- the sites --------------------------------------------------------------------

void TConnectionWorkflow::AddressChanged()
{
    const int index = FBox.ChosenSite();
    if (index < 0) {
        W.UserName->setText("Anonymous");
        W.Password->setText(QString());
        W.Password->setPlaceholderText(QString());
        return;
    }
    const TSiteEntry &site = FSites[index];
    // The saved letter case, once the whole path is typed; a completion
    // still offered stays selected.
    if (!W.Address->lineEdit()->hasSelectedText() && W.Address->currentText() != site.Path())
        W.Address->setEditText(site.Path());
    W.UserName->setText(site.Logon == TLogonType::Anonymous ? QStringLiteral("anonymous") : site.UserName);
    W.Password->setText(site.Password);
    // Read from the store only when the site connects.
    W.Password->setPlaceholderText(AsksForPassword(site)                             ? QStringLiteral("asked for")
                                   : site.Password.isEmpty() && site.PasswordInStore ? QStringLiteral("in the keyring")
                                                                                     : QString());
    FParts.RemoteView.SetFolderText(site.DefaultFolder);
}

void TConnectionWorkflow::SitesLoaded()
{
    W.Address->setEditText(QString());
    FBox.Fill();
    if (FSites.Count() > 0)
        OpenSite(0, false);
}

void TConnectionWorkflow::SitesReloaded()
{
    FBox.Fill();
}

void TConnectionWorkflow::SitesChanged()
{
    FBox.Fill();
    // Connected, the bar and the folder box show the session's own.
    if (!FOnline)
        AddressChanged();
}

bool TConnectionWorkflow::LeaveFor(const QString &next)
{
    if (!FParts.Browsing.Connected())
        return true;
    if (!UserDialogs().Confirm(FWindow.DialogOwner(),
                               QStringLiteral("Disconnect from %1 and connect to %2?").arg(FConnectedName, next)))
        return false;
    Execute();
    if (FParts.Browsing.Connected())
        return false;  // the transfers were to go on
    // Another protocol's session tells its end later: here, now.
    if (FOnline)
        Disconnected();
    return true;
}

void TConnectionWorkflow::OpenSite(int site, bool connect)
{
    if (connect && !LeaveFor(FSites[site].Path()))
        return;
    FBox.Choose(site);
    AddressChanged();
    if (connect)
        Connect();
}

void TConnectionWorkflow::OpenAddress(const QString &text)
{
    const QUrl url(text);
    THostAddress address = SplitHostAddress(text);
    if (!url.isValid() || url.scheme().isEmpty() || !address.Unsupported.isEmpty() || address.Host.isEmpty()) {
        FWindow.AddToLog(address.Unsupported.isEmpty() ? QStringLiteral("Not an address to connect to: ") +
                                                             url.toDisplayString(QUrl::RemovePassword)
                                                       : address.Unsupported);
        return;
    }
    if (!LeaveFor(url.toDisplayString(QUrl::RemoveUserInfo | QUrl::RemovePath)))
        return;
    const bool named = url.port() > 0 && url.port() != ProtocolOf(address.Scheme.toStdString())->DefaultPort;
    W.Address->setEditText(address.Scheme + "://" + (url.host().contains(':') ? '[' + url.host() + ']' : url.host()) +
                           (named ? ':' + QString::number(url.port()) : QString()));
    AddressChanged();
    if (!url.userName().isEmpty())
        W.UserName->setText(url.userName());
    W.Password->setText(url.password());
    FOpenFolder = url.path();
    Connect();
}

TSocksInfo TConnectionWorkflow::Proxy() const
{
    return FProxy;
}

void TConnectionWorkflow::SetProxy(const TSocksInfo &proxy)
{
    FProxy = proxy;
}

bool TConnectionWorkflow::PassiveMode() const
{
    return W.PassiveMode->isChecked();
}

void TConnectionWorkflow::SetPassiveMode(bool on)
{
    W.PassiveMode->setChecked(on);
}

void TConnectionWorkflow::SetChosenSiteFolder(const QString &folder)
{
    // Only a saved site; a typed address is no site.
    if (const int site = FBox.ChosenSite(); site >= 0)
        FSites[site].DefaultFolder = folder;
}

bool TConnectionWorkflow::KeyPress(QKeyEvent *key)
{
    // Ctrl+I reaches the window's Save Site; Ctrl+D is Download here too.
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        W.Connect->trigger();
    return false;
}

void TConnectionWorkflow::TakeLoginFromAddress()
{
    if (FBox.ChosenSite() >= 0)
        return;
    const QString text = W.Address->currentText();
    const THostAddress address = SplitHostAddress(text);
    if (address.Login.isEmpty() || !address.Unsupported.isEmpty())
        return;
    {
        const QSignalBlocker blocker(W.Address);
        W.Address->setEditText(AddressWithoutLogin(text));
    }
    if (!address.User.isEmpty())
        W.UserName->setText(address.User);
    if (address.HasPassword)
        W.Password->setText(address.Password);
}

void TConnectionWorkflow::SaveSite()
{
    TakeLoginFromAddress();
    if (W.Address->currentText().trimmed().isEmpty()) {
        FWindow.AddToLog("Type the site's address before saving it.");
        return;
    }
    AddOrUpdateSite();
    FWindow.AddToLog("Site saved.");
}

void TConnectionWorkflow::DeleteSite()
{
    const int index = FBox.ChosenSite();
    if (index < 0) {
        FWindow.AddToLog("Choose a saved site in the address box to delete it.");
        return;
    }
    const QString name = FSites[index].Path();
    if (!UserDialogs().Confirm(FWindow.DialogOwner(),
                               QStringLiteral("Delete the saved site \"%1\" and its password?").arg(name)))
        return;
    RemoveSite();
    FWindow.AddToLog(QStringLiteral("Site \"%1\" deleted.").arg(name));
}

void TConnectionWorkflow::AddOrUpdateSite()
{
    const int index = FBox.ChosenSite();
    if (index < 0) {
        // A typed address: a new site at the top, named by it.
        TSiteEntry site;
        site.Address = W.Address->currentText();
        site.UserName = W.UserName->text();
        site.Password = W.Password->text();
        SiteFields::FillFromAddress(site);
        site.Name = FSites.FreeName({}, site.Address);
        FSites.Append(site);
        TellWhereKept(FSecrets.Keep(FSites[FSites.Count() - 1]));
        // Saved while connected: it is the session's site from now on (its
        // bookmarks, its default folder).
        if (FOnline && FConnectedSite.isEmpty())
            FConnectedSite = FSites[FSites.Count() - 1].Uid;
        FBox.Fill();
        FBox.Choose(FSites.Count() - 1);
        return;
    }
    TSiteEntry &site = FSites[index];
    // A password still in the store, not yet asked for, goes with the
    // site to its new name (and from the old one at the save).
    QString password = W.Password->text();
    TSiteEntry renamed = site;
    renamed.UserName = W.UserName->text();
    if (password.isEmpty() && site.PasswordInStore && TSiteSecrets::Key(site) != TSiteSecrets::Key(renamed))
        password = FSecrets.Password(site);
    if (site.Logon != TLogonType::Anonymous)
        site.UserName = W.UserName->text();
    if (!AsksForPassword(site))
        site.Password = password;
    TellWhereKept(FSecrets.Keep(site));
}

void TConnectionWorkflow::RemoveSite()
{
    if (const int index = FBox.ChosenSite(); index >= 0) {
        FSecrets.Forget(FSites[index]);
        FSites.Remove(index);
    }
    W.Address->setEditText(QString());
    FBox.Fill();
    if (FSites.Count() > 0)
        FBox.Choose(0);
    AddressChanged();
}

bool TConnectionWorkflow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QObject::eventFilter(watched, event);
    try {
        return KeyPress(static_cast<QKeyEvent *>(event));
    } catch (...) {
        TApplication::HandleException();
        return true;
    }
}
