// The site manager's right side: one site's settings, shown and taken
// back. A field that does not apply to the chosen protocol or log-on type
// is disabled rather than hidden, so the form keeps its shape.
#pragma once

#include "SiteEntry.h"

#include <QWidget>

class QComboBox;
class QLineEdit;
class QPlainTextEdit;
class QSpinBox;
class QToolButton;

class TSiteSettingsForm : public QWidget {
    Q_OBJECT
public:
    explicit TSiteSettingsForm(QWidget *parent = nullptr);

    // Shows a site; its password, when the keyring holds it, stays there
    // unless another is typed.
    void Show(const TSiteEntry &site);
    // The fields into the site shown last.
    void Take(TSiteEntry &site) const;
    // Nothing to show: a folder is chosen.
    void ShowNothing();

    // The charsets offered; any other name may be typed.
    static QStringList Charsets();

private:
    void FollowChoices();
    // "sftp://host:2222" typed as the host: protocol, host and port.
    void SplitTypedHost();

    QComboBox *FProtocol, *FLogon, *FMode, *FCharset, *FProxy;
    QLineEdit *FHost, *FPort, *FUser, *FPassword, *FKeyFile, *FRemoteFolder, *FLocalFolder;
    QLineEdit *FProxyHost, *FProxyPort, *FProxyUser, *FProxyPassword;
    QToolButton *FBrowseKey, *FBrowseLocal;
    QSpinBox *FTransfers;
    QPlainTextEdit *FComments;
    bool FPasswordInStore = false;
};
