#include "ConnectionWorkflow.h"

#include "Application.h"
#include "FailureText.h"
#include "HostAddress.h"
#include "IdException.h"
#include "MainForm.h"
#include "RemoteName.h"
#include "StatusBar.h"
#include "UserDialogs.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QSocketNotifier>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>

void TConnectionWorkflow::Execute()
{
    if (F.FTP.Connected()) {
        RequestDisconnect();
        F.FTP.Quit();
        return;
    }
    Connect();
}

void TConnectionWorkflow::Connect()
{
    // The status events have told most of the story in the log; the
    // failure itself is said in words there, and a server's refusal
    // ("530 Login incorrect.") in a message box as well: the user must act.
    const THostAddress address = SplitHostAddress(F.cbAddress->currentText());
    bool refusedByServer = false;
    try {
        F.SetBusyCursor(true);
        FDisconnectRequested = false;
        F.FTP.Host = address.Host.toStdString();
        F.FTP.Port = address.Port;
        F.FTP.User = F.edUserName->text().toStdString();
        F.FTP.Password = F.edPassword->text().toStdString();
        F.lbConnection->clear();
        try {
            F.FTP.Connect(true);
        } catch (const EIdProtocolReplyError &) {
            refusedByServer = true;
            throw;
        }
        LoggedIn();
        const int site = F.cbAddress->currentIndex();
        F.edCurrentDir->setText(site >= 0 && site < F.Sites.Count() ? F.Sites[site].DefaultFolder : QString());
        // Without a start folder, the login folder: an empty change-folder
        // request is refused by some servers and sends others to the root.
        F.RemoteView.EnterStartFolder(F.edCurrentDir->text().toStdString());
    } catch (...) {
        F.SetBusyCursor(false);
        const QString text = FOnline ? TApplication::ExceptionText(std::current_exception())
                                     : ConnectFailureText(std::current_exception(), address.Host, address.Port);
        F.AddToLog(text);
        if (refusedByServer)
            UserDialogs().ShowError(&F, text);
    }
}

void TConnectionWorkflow::Connected()
{
    // Online only once the login has succeeded.
}

void TConnectionWorkflow::LoggedIn()
{
    FOnline = true;
    F.btnConnect->setIcon(F.ImageList1[0]);
    F.btnConnect->setToolTip("Disconnect from server.");
    F.sbMain->SetPanelText(0, "Status: Online");
    F.SetActionsEnabled(true);
    F.edCurrentDir->setEnabled(true);
    F.cbAddress->setEnabled(false);
    F.edUserName->setEnabled(false);
    F.edPassword->setEnabled(false);
    F.SetBusyCursor(false);
    WatchIdleConnection();
}

void TConnectionWorkflow::Disconnected()
{
    StopWatching();
    FOnline = false;
    F.btnConnect->setIcon(F.ImageList1[1]);
    F.btnConnect->setToolTip("Connect to server.");
    F.sbMain->SetPanelText(0, "Status: Offline");
    F.SetActionsEnabled(false);
    F.edCurrentDir->setEnabled(false);
    F.cbAddress->setEnabled(true);
    F.edUserName->setEnabled(true);
    F.edPassword->setEnabled(true);
    F.RemoteView.Clear();
    F.Transfers.ResetDisplay();
}

// ---- the idle connection ------------------------------------------------------

void TConnectionWorkflow::WatchIdleConnection()
{
    StopWatching();
    FIdleWatch = new QSocketNotifier(F.FTP.Socket()->Handle, QSocketNotifier::Read, &F);
    QObject::connect(FIdleWatch, &QSocketNotifier::activated, &F, Guarded([this] { IdleConnectionReadable(); }));
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
    if (F.FTP.Busy()) {
        FIdleWatch->setEnabled(false);
        // Only while it is still the watch of a live connection: a
        // stopped one waits for its deletion, its socket already closed.
        QTimer::singleShot(100, FIdleWatch, [this, watch = FIdleWatch] {
            if (watch == FIdleWatch)
                watch->setEnabled(true);
        });
        return;
    }
    const std::string notice = F.FTP.ReadIdleNotice();
    if (F.FTP.Connected())
        return;
    F.AddToLog(notice.empty() ? QStringLiteral("The server closed the connection.")
                              : "The server closed the connection: " + RemoteDisplayName(notice));
}

void TConnectionWorkflow::AddressChanged()
{
    const int index = F.cbAddress->findText(F.cbAddress->currentText(), Qt::MatchFixedString);
    if (index < 0) {
        F.edUserName->setText("Anonymous");
        F.edPassword->setText(QString());
        return;
    }
    const TSiteEntry &site = F.Sites[index];
    F.cbAddress->setEditText(site.Address);
    F.edUserName->setText(site.UserName);
    F.edPassword->setText(site.Password);
    F.edCurrentDir->setText(site.DefaultFolder);
}

bool TConnectionWorkflow::KeyPress(QKeyEvent *key)
{
    // Ctrl+I and Tab both carry character 9 here: only the I with Ctrl adds
    // a site; Tab goes on moving the focus.
    const bool control = key->modifiers() & Qt::ControlModifier;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        F.actConnect->trigger();
        return false;
    }
    if (control && key->key() == Qt::Key_I) {
        AddOrUpdateSite();
        return true;
    }
    if (control && key->key() == Qt::Key_D) {
        RemoveSite();
        return true;
    }
    return false;
}

void TConnectionWorkflow::AddOrUpdateSite()
{
    QComboBox *box = F.cbAddress;
    const QString address = box->currentText();
    const int index = box->findText(address, Qt::MatchFixedString);
    if (index < 0) {
        F.Sites.Append({address, F.edUserName->text(), F.edPassword->text(), QString()});
        const QSignalBlocker blocker(box);
        const int selected = box->currentIndex();
        box->addItem(address);
        box->setCurrentIndex(selected);
        box->setEditText(address);
    } else {
        TSiteEntry &site = F.Sites[index];
        site.Address = address;
        site.UserName = F.edUserName->text();
        site.Password = F.edPassword->text();
    }
}

void TConnectionWorkflow::RemoveSite()
{
    QComboBox *box = F.cbAddress;
    const int index = box->currentIndex();
    if (index != -1) {
        F.Sites.Remove(index);
        const QSignalBlocker blocker(box);
        box->removeItem(index);
    }
    if (box->count() > 0) {
        const QSignalBlocker blocker(box);
        box->setCurrentIndex(0);
    }
    AddressChanged();
}
