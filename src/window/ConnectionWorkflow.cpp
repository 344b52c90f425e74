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
#include "SiteList.h"
#include "StatusBar.h"
#include "TransferRunner.h"
#include "UserDialogs.h"
#include "WindowServices.h"

#include <QAction>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolButton>

TConnectionWorkflow::TConnectionWorkflow(TWindowServices &window, TIdFTP &ftp, TSiteList &sites,
                                         const TWidgets &widgets, const TParts &parts)
    : FWindow(window), FFtp(ftp), FSites(sites), W(widgets), FParts(parts)
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
        AddressChanged();
    });
    connect(W.Address, &QComboBox::activated, this, [this] { AddressChanged(); });
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
    // The status events have told most of the story in the log; the
    // failure itself is said in words there, and a server's refusal
    // ("530 Login incorrect.") in a message box as well: the user must act.
    THostAddress address = SplitHostAddress(W.Address->currentText());
    if (!address.Unsupported.isEmpty()) {
        FWindow.AddToLog(address.Unsupported);
        FParts.Log.BringToFront();
        return;
    }
    bool refusedByServer = false, loggedIn = false;
    try {
        const QString password = PasswordToConnect();
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
        FSession.Proxy = FFtp.SocksInfo;
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
        const int site = W.Address->currentIndex();
        FParts.RemoteView.SetFolderText(site >= 0 && site < FSites.Count() ? FSites[site].DefaultFolder : QString());
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
    // Gone while no command ran and no one asked: the server ended it. (A
    // command that was running says so in its own words.)
    if (FOnline && !FDisconnectRequested && !FParts.Browsing.Busy()) {
        std::string notice = FFtp.InBufferSize() > 0 ? FFtp.TakeBytes(FFtp.InBufferSize()) : std::string();
        TellServerClosed(Trim(notice));
    }
    FOnline = false;
    W.Connect->setText("Connect");
    W.ConnectButton->setIcon(W.ConnectGlyph);
    W.ConnectButton->setToolTip("Connect to server.");
    W.ConnectButton->setAccessibleName("Connect");
    SetPanelText(W.StatusPanel, "Status: Offline");
    FWindow.SetActionsEnabled(false);
    FParts.RemoteView.SetOnline(false);
    W.Address->setEnabled(true);
    W.UserName->setEnabled(true);
    W.Password->setEnabled(true);
    FParts.RemoteView.Clear();
    // Transfers have a connection of their own, and may go on.
    if (!FParts.Transfers.Active())
        FParts.Transfers.ResetDisplay();
}

// ---- the idle connection ------------------------------------------------------

void TConnectionWorkflow::WatchIdleConnection()
{
    StopWatching();
    // FTP's control connection; an SSH session's loss shows at its next call.
    if (!FParts.Browsing.SpeaksFtp())
        return;
    FIdleWatch = new QSocketNotifier(FFtp.Socket()->Handle, QSocketNotifier::Read, this);
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
    if (FFtp.Busy()) {
        FIdleWatch->setEnabled(false);
        // Only while it is still the watch of a live connection: a
        // stopped one waits for its deletion, its socket already closed.
        QTimer::singleShot(100, FIdleWatch, [this, watch = FIdleWatch] {
            if (watch == FIdleWatch)
                watch->setEnabled(true);
        });
        return;
    }
    const std::string notice = FFtp.ReadIdleNotice();
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
    FParts.Transfers.SetSession(FSession, TSiteSecrets::Key({W.Address->currentText(), W.UserName->text(), {}, {}}));
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

QString TConnectionWorkflow::PasswordToConnect()
{
    // A saved site's password comes from the store now, when it is needed
    // and not before: a store that prompts does so over the window.
    const int index = W.Address->currentIndex();
    if (!W.Password->text().isEmpty() || index < 0 || index >= FSites.Count() || !FSites[index].PasswordInStore)
        return W.Password->text();
    TSiteEntry &site = FSites[index];
    site.Password = FSecrets.Password(site);
    if (site.Password.isEmpty() && !FSecrets.StoreWorking())
        TellWhereKept(FSecrets.StoreMissing() ? TSiteSecrets::InFile : TSiteSecrets::InMemory);
    W.Password->setText(site.Password);
    return site.Password;
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
    const int index = W.Address->findText(W.Address->currentText(), Qt::MatchFixedString);
    if (index < 0) {
        W.UserName->setText("Anonymous");
        W.Password->setText(QString());
        W.Password->setPlaceholderText(QString());
        return;
    }
    const TSiteEntry &site = FSites[index];
    W.Address->setEditText(site.Address);
    W.UserName->setText(site.UserName);
    W.Password->setText(site.Password);
    // Read from the store only when the site connects.
    W.Password->setPlaceholderText(site.Password.isEmpty() && site.PasswordInStore ? QStringLiteral("in the keyring")
                                                                                    : QString());
    FParts.RemoteView.SetFolderText(site.DefaultFolder);
}

void TConnectionWorkflow::SitesLoaded()
{
    W.Address->clear();
    for (int i = 0; i < FSites.Count(); ++i)
        W.Address->addItem(FSites[i].Address);
    if (FSites.Count() > 0) {
        W.Address->setCurrentIndex(0);
        AddressChanged();
    }
}

TSocksInfo TConnectionWorkflow::Proxy() const
{
    return FFtp.SocksInfo;
}

void TConnectionWorkflow::SetProxy(const TSocksInfo &proxy)
{
    FFtp.SocksInfo = proxy;
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
    // Only a site chosen from the list; a typed address is no site.
    const int site = W.Address->currentIndex();
    if (site >= 0 && site < FSites.Count())
        FSites[site].DefaultFolder = folder;
}

bool TConnectionWorkflow::KeyPress(QKeyEvent *key)
{
    // Ctrl+I reaches the window's Save Site; Ctrl+D is Download here too.
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
        W.Connect->trigger();
    return false;
}

void TConnectionWorkflow::SaveSite()
{
    if (W.Address->currentText().trimmed().isEmpty()) {
        FWindow.AddToLog("Type the site's address before saving it.");
        return;
    }
    AddOrUpdateSite();
    FWindow.AddToLog("Site saved.");
}

void TConnectionWorkflow::DeleteSite()
{
    const int index = W.Address->currentIndex();
    if (index < 0 || index >= FSites.Count()) {
        FWindow.AddToLog("Choose a saved site in the address box to delete it.");
        return;
    }
    const QString name = FSites[index].Address;
    if (!UserDialogs().Confirm(FWindow.DialogOwner(),
                               QStringLiteral("Delete the saved site \"%1\" and its password?").arg(name)))
        return;
    RemoveSite();
    FWindow.AddToLog(QStringLiteral("Site \"%1\" deleted.").arg(name));
}

void TConnectionWorkflow::AddOrUpdateSite()
{
    QComboBox *box = W.Address;
    const QString address = box->currentText();
    const int index = box->findText(address, Qt::MatchFixedString);
    if (index < 0) {
        FSites.Append({address, W.UserName->text(), W.Password->text(), QString()});
        TellWhereKept(FSecrets.Keep(FSites[FSites.Count() - 1]));
        const QSignalBlocker blocker(box);
        const int selected = box->currentIndex();
        box->addItem(address);
        box->setCurrentIndex(selected);
        box->setEditText(address);
    } else {
        TSiteEntry &site = FSites[index];
        // A password still in the store, not yet asked for, goes with the
        // site to its new name (and from the old one at the save).
        QString password = W.Password->text();
        if (password.isEmpty() && site.PasswordInStore &&
            TSiteSecrets::Key(site) != TSiteSecrets::Key({address, W.UserName->text(), {}, {}}))
            password = FSecrets.Password(site);
        site.Address = address;
        site.UserName = W.UserName->text();
        site.Password = password;
        TellWhereKept(FSecrets.Keep(site));
    }
}

void TConnectionWorkflow::RemoveSite()
{
    QComboBox *box = W.Address;
    const int index = box->currentIndex();
    if (index != -1) {
        FSecrets.Forget(FSites[index]);
        FSites.Remove(index);
        const QSignalBlocker blocker(box);
        box->removeItem(index);
    }
    if (box->count() > 0) {
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(0);
    }
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
