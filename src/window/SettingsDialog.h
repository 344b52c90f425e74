// The Settings dialog: transfer mode, simultaneous transfers, what to do
// with a file that exists, the remote list's view, the SOCKS proxy and
// where passwords are kept. It edits a copy; OK hands it back.
#pragma once

#include "AppSettings.h"

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

class TSettingsDialog : public QDialog {
    Q_OBJECT
public:
    TSettingsDialog(const TAppSettings &settings, QWidget *parent = nullptr);
    TAppSettings Result() const;

private:
    void ProxyKindChanged();

    TAppSettings FSettings;
    QComboBox *FMode, *FOverwrite, *FView, *FProxyKind, *FPasswords;
    QSpinBox *FSimultaneous, *FProxyPort, *FDownloadLimit, *FUploadLimit;
    QCheckBox *FPreserveTimes, *FVerify, *FKeepAlive, *FTextAsAscii;
    QLineEdit *FTextTypes;
    QLineEdit *FProxyHost, *FProxyUser, *FProxyPassword, *FEditor;
};
