// The about window: the running program's version values, read afresh from
// its version block every time the window is shown.
#pragma once

#include "FileVersionInfo.h"

#include <QDialog>

class QFormLayout;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;

class TfrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit TfrmAbout(QWidget *owner);

    QLabel *imgAboutImage;
    QFrame *Bevel1;
    QLabel *lblCompany;
    QLabel *lblProductName;
    QLabel *lblProductVersion;
    QLabel *lblInternalName;
    QLabel *lblVersion;
    QLabel *lblFileName;
    QLabel *lblTradeMark;
    QLabel *lblCopyright;
    QPlainTextEdit *memDescription;
    QPushButton *btnOk;
    TBrelFileVersionInfo VersionInfo;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
    // A label and its value as a row of `form`; the value label.
    static QLabel *AddRow(QFormLayout *form, const QString &text);
};
