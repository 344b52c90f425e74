#include "SiteSettingsForm.h"

#include "HostAddress.h"
#include "SiteFields.h"
#include "UserDialogs.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <tuple>

namespace {

template <typename T>
T *Field(T *field, const char *objectName, const QString &accessibleName)
{
    field->setObjectName(objectName);
    field->setAccessibleName(accessibleName);
    return field;
}

QComboBox *Choices(const char *objectName, const QString &name, const QStringList &texts)
{
    auto *box = Field(new QComboBox, objectName, name);
    box->addItems(texts);
    return box;
}

// A line with a "..." button beside it that fills it from a file dialog.
QWidget *WithBrowse(QLineEdit *edit, QToolButton *&button, TFileDialog::TKind kind, const QString &title)
{
    auto *row = new QWidget;
    // The label's key reaches the line, not the row.
    row->setFocusProxy(edit);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(edit);
    button = new QToolButton;
    button->setText("...");
    button->setAccessibleName(title);
    button->setToolTip(title);
    layout->addWidget(button);
    QObject::connect(button, &QToolButton::clicked, edit, [edit, kind, title] {
        TFileDialog dialog;
        dialog.Kind = kind;
        dialog.Title = title;
        dialog.FileName = edit->text();
        dialog.InitialDir = edit->text();
        if (UserDialogs().ExecuteFileDialog(edit->window(), dialog))
            edit->setText(dialog.FileName);
    });
    return row;
}

// Only a proxy of its own has an address; SOCKS 4 takes no password.
bool HasAddress(TSiteProxy kind)
{
    return kind != TSiteProxy::Default && kind != TSiteProxy::None && kind != TSiteProxy::System;
}

bool TakesPassword(TSiteProxy kind)
{
    return kind == TSiteProxy::Socks5 || kind == TSiteProxy::Http;
}

}  // namespace

QStringList TSiteSettingsForm::Charsets()
{
    return {"UTF-8",  "ISO-8859-1", "ISO-8859-2", "ISO-8859-15", "CP1250", "CP1251", "CP1252",
            "KOI8-R", "Shift_JIS",  "EUC-JP",     "GB18030",     "Big5",   "EUC-KR"};
}

TSiteSettingsForm::TSiteSettingsForm(QWidget *parent) : QWidget(parent)
{
    auto *tabs = new QTabWidget;
    auto *general = new QWidget;
    auto *form = new QFormLayout(general);
    FProtocol = Choices("cbSiteProtocol", "Protocol", SiteFields::ProtocolTexts());
    form->addRow("&Protocol:", FProtocol);
    FHost = Field(new QLineEdit, "edSiteHost", "Host");
    form->addRow("&Host:", FHost);
    FPort = Field(new QLineEdit, "edSitePort", "Port");
    FPort->setValidator(new QIntValidator(1, 65535, FPort));
    form->addRow("P&ort:", FPort);
    FLogon = Choices("cbSiteLogon", "Log-on type", SiteFields::LogonTexts());
    form->addRow("&Log-on type:", FLogon);
    FUser = Field(new QLineEdit, "edSiteUser", "User");
    form->addRow("U&ser:", FUser);
    FPassword = Field(new QLineEdit, "edSitePassword", "Password");
    FPassword->setEchoMode(QLineEdit::Password);
    form->addRow("Pass&word:", FPassword);
    FKeyFile = Field(new QLineEdit, "edSiteKeyFile", "Key file");
    form->addRow("&Key file:", WithBrowse(FKeyFile, FBrowseKey, TFileDialog::TKind::Open, "Choose the key file"));
    FComments = Field(new QPlainTextEdit, "meSiteComments", "Comments");
    FComments->setTabChangesFocus(true);
    form->addRow("Co&mments:", FComments);
    tabs->addTab(general, "&General");

    auto *advanced = new QWidget;
    auto *more = new QFormLayout(advanced);
    FMode = Choices("cbSiteTransferMode", "Transfer mode", SiteFields::ModeTexts());
    more->addRow("&Transfer mode:", FMode);
    FTransfers = Field(new QSpinBox, "seSiteTransfers", "Simultaneous transfers");
    FTransfers->setRange(0, 4);
    FTransfers->setSpecialValueText("Default");
    more->addRow("&Simultaneous transfers:", FTransfers);
    FCharset = Choices("cbSiteCharset", "Character set for names", QStringList{"Automatic"} + Charsets());
    FCharset->setEditable(true);
    more->addRow("C&haracter set:", FCharset);
    FRemoteFolder = Field(new QLineEdit, "edSiteRemoteFolder", "Default remote folder");
    more->addRow("Re&mote folder:", FRemoteFolder);
    FLocalFolder = Field(new QLineEdit, "edSiteLocalFolder", "Default local folder");
    more->addRow("L&ocal folder:", WithBrowse(FLocalFolder, FBrowseLocal, TFileDialog::TKind::Folder,
                                               "Choose the local folder"));
    tabs->addTab(advanced, "&Advanced");

    auto *proxyPage = new QWidget;
    auto *proxy = new QFormLayout(proxyPage);
    FProxy = Choices("cbSiteProxy", "Proxy", SiteFields::ProxyTexts());
    proxy->addRow("&Proxy:", FProxy);
    FProxyHost = Field(new QLineEdit, "edSiteProxyHost", "Proxy host");
    proxy->addRow("&Host:", FProxyHost);
    FProxyPort = Field(new QLineEdit, "edSiteProxyPort", "Proxy port");
    FProxyPort->setValidator(new QIntValidator(1, 65535, FProxyPort));
    proxy->addRow("P&ort:", FProxyPort);
    FProxyUser = Field(new QLineEdit, "edSiteProxyUser", "Proxy user");
    proxy->addRow("&User:", FProxyUser);
    FProxyPassword = Field(new QLineEdit, "edSiteProxyPassword", "Proxy password");
    FProxyPassword->setEchoMode(QLineEdit::Password);
    proxy->addRow("Pass&word:", FProxyPassword);
    tabs->addTab(proxyPage, "Pro&xy");

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(tabs);
    connect(FProtocol, &QComboBox::currentIndexChanged, this, [this] { FollowChoices(); });
    connect(FLogon, &QComboBox::currentIndexChanged, this, [this] { FollowChoices(); });
    connect(FProxy, &QComboBox::currentIndexChanged, this, [this] { FollowChoices(); });
    connect(FHost, &QLineEdit::editingFinished, this, [this] { SplitTypedHost(); });
    ShowNothing();
}

void TSiteSettingsForm::FollowChoices()
{
    const auto protocol = TSiteProtocol(FProtocol->currentIndex());
    const auto logon = TLogonType(FLogon->currentIndex());
    FPort->setPlaceholderText(QString::number(SiteFields::DefaultPort(protocol)));
    FUser->setEnabled(logon != TLogonType::Anonymous);
    const bool password = logon == TLogonType::Normal;
    FPassword->setEnabled(password);
    FPassword->setPlaceholderText(!password ? QString() : FPasswordInStore ? QStringLiteral("in the keyring")
                                                                           : QString());
    FKeyFile->setEnabled(logon == TLogonType::KeyFile);
    FBrowseKey->setEnabled(logon == TLogonType::KeyFile);
    FMode->setEnabled(protocol != TSiteProtocol::Sftp);
    const auto kind = TSiteProxy(FProxy->currentIndex());
    const bool own = HasAddress(kind);
    for (QLineEdit *field : {FProxyHost, FProxyPort, FProxyUser})
        field->setEnabled(own);
    FProxyPassword->setEnabled(TakesPassword(kind));
    FProxyPort->setPlaceholderText(own ? QStringLiteral("1080") : QString());
}

void TSiteSettingsForm::SplitTypedHost()
{
    const QString typed = FHost->text().trimmed();
    if (!typed.contains("://") && typed.count(':') != 1 && !typed.contains('@'))
        return;
    const THostAddress address = SplitHostAddress(typed);
    if (!address.Unsupported.isEmpty() || address.Host.isEmpty())
        return;
    const auto protocol = TSiteProtocol(FProtocol->currentIndex());
    if (typed.contains("://")) {
        const auto chosen = address.Security == THostAddress::SSH           ? TSiteProtocol::Sftp
                            : address.Security == THostAddress::ImplicitTLS ? TSiteProtocol::FtpsTLS
                            : address.Security == THostAddress::ExplicitTLS ? TSiteProtocol::FtpesTLS
                                                                            : protocol;
        FProtocol->setCurrentIndex(int(chosen));
    }
    FHost->setText(address.Host);
    if (address.Port != SiteFields::DefaultPort(TSiteProtocol(FProtocol->currentIndex())))
        FPort->setText(QString::number(address.Port));
    if (!address.User.isEmpty())
        FUser->setText(address.User);
    if (address.HasPassword)
        FPassword->setText(address.Password);
}

void TSiteSettingsForm::Show(const TSiteEntry &site)
{
    setEnabled(true);
    FPasswordInStore = site.Password.isEmpty() && site.PasswordInStore;
    FProtocol->setCurrentIndex(int(site.Protocol));
    FHost->setText(site.Host);
    FPort->setText(site.Port > 0 ? QString::number(site.Port) : QString());
    FLogon->setCurrentIndex(int(site.Logon));
    FUser->setText(site.UserName);
    FPassword->setText(site.Password);
    FKeyFile->setText(site.KeyFile);
    FComments->setPlainText(site.Comments);
    FMode->setCurrentIndex(int(site.Mode));
    FTransfers->setValue(site.Transfers);
    FCharset->setCurrentText(site.Charset.isEmpty() ? QStringLiteral("Automatic") : site.Charset);
    FRemoteFolder->setText(site.DefaultFolder);
    FLocalFolder->setText(site.LocalFolder);
    FProxy->setCurrentIndex(int(site.Proxy));
    FProxyHost->setText(site.ProxyHost);
    FProxyPort->setText(site.ProxyPort > 0 ? QString::number(site.ProxyPort) : QString());
    FProxyUser->setText(site.ProxyUser);
    FProxyPassword->setText(site.ProxyPassword);
    FollowChoices();
}

void TSiteSettingsForm::Take(TSiteEntry &site) const
{
    const auto server = [](const TSiteEntry &s) { return std::tuple(s.Protocol, s.Host, s.Port); };
    const auto before = server(site);
    site.Protocol = TSiteProtocol(FProtocol->currentIndex());
    site.Host = FHost->text().trimmed();
    const int port = FPort->text().toInt();
    site.Port = port == SiteFields::DefaultPort(site.Protocol) ? 0 : port;
    site.Logon = TLogonType(FLogon->currentIndex());
    site.UserName = FUser->text();
    // An empty box leaves a password the keyring holds where it is.
    if (!FPassword->text().isEmpty() || !FPasswordInStore)
        site.Password = FPassword->text();
    // Only a normal log-on keeps a password.
    if (site.Logon != TLogonType::Normal) {
        site.Password.clear();
        site.PasswordInStore = false;
    }
    site.KeyFile = FKeyFile->text();
    site.Comments = FComments->toPlainText();
    site.Mode = TTransferMode(FMode->currentIndex());
    site.Transfers = FTransfers->value();
    const QString charset = FCharset->currentText().trimmed();
    site.Charset = charset.compare("Automatic", Qt::CaseInsensitive) == 0 ? QString() : charset;
    site.DefaultFolder = FRemoteFolder->text().trimmed();
    site.LocalFolder = FLocalFolder->text().trimmed();
    site.Proxy = TSiteProxy(FProxy->currentIndex());
    // What does not apply to the kind chosen is not kept.
    const bool own = HasAddress(site.Proxy);
    site.ProxyHost = own ? FProxyHost->text().trimmed() : QString();
    site.ProxyPort = own ? FProxyPort->text().toInt() : 0;
    site.ProxyUser = own ? FProxyUser->text() : QString();
    site.ProxyPassword = TakesPassword(site.Proxy) ? FProxyPassword->text() : QString();
    // An earlier version finds the site by its address; one that still
    // names the same server keeps it as it was typed.
    if (!site.Host.isEmpty() && server(site) != before)
        site.Address = SiteFields::ComposedAddress(site);
}

void TSiteSettingsForm::ShowNothing()
{
    FPasswordInStore = false;
    Show(TSiteEntry{});
    setEnabled(false);
}
