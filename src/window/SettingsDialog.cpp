#include "SettingsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace {

QComboBox *Choices(const QStringList &texts, int current)
{
    auto *box = new QComboBox;
    box->addItems(texts);
    box->setCurrentIndex(current);
    return box;
}

// A field named for screen readers by its label's words.
template <typename T>
T *Named(T *field, const QString &label)
{
    QString name = label;
    name.remove('&');
    name.remove(':');
    field->setAccessibleName(name);
    return field;
}

// The choices of "When a file exists", in the box's order: none is Ask.
const std::optional<TOverwriteAnswer> WhenExists[] = {std::nullopt, TOverwriteAnswer::Overwrite,
                                                      TOverwriteAnswer::Resume, TOverwriteAnswer::Rename,
                                                      TOverwriteAnswer::Skip};

}  // namespace

TSettingsDialog::TSettingsDialog(const TAppSettings &settings, QWidget *parent) : QDialog(parent), FSettings(settings)
{
    setWindowTitle("Settings");
    setObjectName("dlgSettings");

    auto *transfers = new QGroupBox("Transfers");
    auto *transferForm = new QFormLayout(transfers);
    FMode = Named(Choices({"Passive (the client opens data connections)", "Active (the server opens them)"},
                          settings.Passive ? 0 : 1),
                  "Transfer mode");
    FMode->setObjectName("cbTransferMode");
    transferForm->addRow("Transfer &mode:", FMode);
    FSimultaneous = Named(new QSpinBox, "Simultaneous transfers");
    FSimultaneous->setObjectName("seSettingsSimultaneous");
    FSimultaneous->setRange(1, 4);
    FSimultaneous->setValue(settings.Simultaneous);
    transferForm->addRow("&Simultaneous transfers:", FSimultaneous);
    const int overwrite = int(std::find(std::begin(WhenExists), std::end(WhenExists), settings.DefaultOverwrite) -
                              std::begin(WhenExists));
    FOverwrite = Named(Choices({"Ask", "Overwrite", "Resume where possible, else overwrite", "Rename the new file",
                                "Skip"},
                               overwrite),
                       "When a file exists");
    FOverwrite->setObjectName("cbOverwrite");
    transferForm->addRow("When a file &exists:", FOverwrite);
    const auto limitBox = [](const char *name, int value) {
        auto *box = Named(new QSpinBox, name);
        box->setObjectName(QStringLiteral("se%1").arg(QString(name).remove(' ')));
        box->setRange(0, 10'000'000);
        box->setSingleStep(100);
        box->setSuffix(" KiB/s");
        // 0 reads as what it means.
        box->setSpecialValueText("No limit");
        box->setValue(value);
        return box;
    };
    FDownloadLimit = limitBox("Download limit", settings.Transfer.DownloadLimit);
    transferForm->addRow("&Download limit:", FDownloadLimit);
    FUploadLimit = limitBox("Upload limit", settings.Transfer.UploadLimit);
    transferForm->addRow("Up&load limit:", FUploadLimit);
    FPreserveTimes = new QCheckBox(QStringLiteral("Keep the files' &times (the server's on downloads, the local on uploads)"));
    FPreserveTimes->setObjectName("cbPreserveTimes");
    FPreserveTimes->setChecked(settings.Transfer.PreserveTimes);
    transferForm->addRow(FPreserveTimes);
    FVerify = new QCheckBox("&Verify files where the server can hash them (SHA-256 first)");
    FVerify->setObjectName("cbVerify");
    FVerify->setChecked(settings.Transfer.Verify);
    transferForm->addRow(FVerify);
    FKeepAlive = new QCheckBox("Keep an idle connection &alive");
    FKeepAlive->setObjectName("cbKeepAlive");
    FKeepAlive->setChecked(settings.KeepAlive);
    transferForm->addRow(FKeepAlive);
    FTextAsAscii = new QCheckBox("Move these types as te&xt (FTP's ASCII):");
    FTextAsAscii->setObjectName("cbTextAsAscii");
    FTextAsAscii->setChecked(settings.Transfer.TextAsAscii);
    FTextTypes = Named(new QLineEdit(settings.Transfer.TextTypes), "Text types");
    FTextTypes->setObjectName("edTextTypes");
    FTextTypes->setEnabled(settings.Transfer.TextAsAscii);
    connect(FTextAsAscii, &QCheckBox::toggled, FTextTypes, &QWidget::setEnabled);
    transferForm->addRow(FTextAsAscii, FTextTypes);
    FEditor = Named(new QLineEdit(settings.Editor), "Edit files in");
    FEditor->setObjectName("edEditor");
    FEditor->setPlaceholderText("The desktop's application for the file's type");
    transferForm->addRow("Ed&it files in:", FEditor);

    auto *view = new QGroupBox("Remote files");
    auto *viewForm = new QFormLayout(view);
    FView = Named(Choices({"Icon", "Small Icon", "List", "Report (names with size, date and more)"}, int(settings.ViewStyle)), "View");
    FView->setObjectName("cbView");
    viewForm->addRow("&View:", FView);

    auto *proxy = new QGroupBox("Proxy");
    auto *proxyForm = new QFormLayout(proxy);
    FProxyKind = Named(Choices({"None", "SOCKS 4", "SOCKS 4A", "SOCKS 5", "HTTP CONNECT", "The system's proxy"}, int(settings.Proxy.Version)), "Proxy");
    FProxyKind->setObjectName("cbProxy");
    proxyForm->addRow("&Proxy:", FProxyKind);
    FProxyHost = Named(new QLineEdit(QString::fromStdString(settings.Proxy.Host)), "Proxy host");
    proxyForm->addRow("&Host:", FProxyHost);
    FProxyPort = Named(new QSpinBox, "Proxy port");
    FProxyPort->setRange(1, 65535);
    FProxyPort->setValue(settings.Proxy.Port > 0 ? settings.Proxy.Port : 1080);
    proxyForm->addRow("P&ort:", FProxyPort);
    FProxyUser = Named(new QLineEdit(QString::fromStdString(settings.Proxy.UserID)), "Proxy user");
    proxyForm->addRow("&User:", FProxyUser);
    FProxyPassword = Named(new QLineEdit(QString::fromStdString(settings.Proxy.Password)), "Proxy password");
    FProxyPassword->setEchoMode(QLineEdit::Password);
    proxyForm->addRow("Pass&word:", FProxyPassword);
    connect(FProxyKind, &QComboBox::currentIndexChanged, this, [this] { ProxyKindChanged(); });
    ProxyKindChanged();

    auto *secrets = new QGroupBox("Passwords");
    auto *secretsForm = new QFormLayout(secrets);
    FPasswords = Named(Choices({"In the desktop's keyring", "In the settings file, unencrypted",
                                "Not saved: typed at each start"},
                               int(settings.Passwords)),
                       "Keep saved passwords");
    FPasswords->setObjectName("cbPasswords");
    secretsForm->addRow("&Keep saved passwords:", FPasswords);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    for (QWidget *group : {static_cast<QWidget *>(transfers), static_cast<QWidget *>(view),
                           static_cast<QWidget *>(proxy), static_cast<QWidget *>(secrets)})
        layout->addWidget(group);
    layout->addWidget(buttons);
}

void TSettingsDialog::ProxyKindChanged()
{
    const int kind = FProxyKind->currentIndex();
    for (QWidget *field : {static_cast<QWidget *>(FProxyHost), static_cast<QWidget *>(FProxyPort),
                           static_cast<QWidget *>(FProxyUser)})
        field->setEnabled(kind != svNoSocks && kind != svSystemProxy);
    // SOCKS 5 and HTTP carry a password; the system's proxy names its own.
    FProxyPassword->setEnabled(kind == svSocks5 || kind == svHttpConnect);
}

TAppSettings TSettingsDialog::Result() const
{
    TAppSettings result = FSettings;
    result.Passive = FMode->currentIndex() == 0;
    result.Simultaneous = FSimultaneous->value();
    result.DefaultOverwrite = WhenExists[FOverwrite->currentIndex()];
    result.Transfer.DownloadLimit = FDownloadLimit->value();
    result.Transfer.UploadLimit = FUploadLimit->value();
    result.Transfer.PreserveTimes = FPreserveTimes->isChecked();
    result.Transfer.Verify = FVerify->isChecked();
    result.KeepAlive = FKeepAlive->isChecked();
    result.Transfer.TextAsAscii = FTextAsAscii->isChecked();
    result.Transfer.TextTypes = FTextTypes->text().trimmed();
    result.Editor = FEditor->text().trimmed();
    result.ViewStyle = TViewStyle(FView->currentIndex());
    result.Proxy.Version = TSocksVersion(FProxyKind->currentIndex());
    result.Proxy.Host = FProxyHost->text().trimmed().toStdString();
    result.Proxy.Port = FProxyPort->value();
    result.Proxy.UserID = FProxyUser->text().toStdString();
    const bool withPassword = result.Proxy.Version == svSocks5 || result.Proxy.Version == svHttpConnect;
    result.Proxy.Password = withPassword ? FProxyPassword->text().toStdString() : std::string();
    result.Proxy.Authentication = withPassword && !result.Proxy.UserID.empty() ? saUsernamePassword : saNoAuthentication;
    result.Passwords = TPasswordKeeping(FPasswords->currentIndex());
    return result;
}
