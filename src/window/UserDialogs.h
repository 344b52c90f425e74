// Every modal question the window asks goes through this one interface, so
// that tests can answer it. The real implementation opens Qt's dialogs.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// State of an open or save dialog component: what it proposes before it is
// shown and what the user chose after.
struct TFileDialog {
    enum class TKind { Open, Save };
    TKind Kind = TKind::Open;
    bool MultiSelect = false;
    QString InitialDir;
    QString FileName;   // proposed, then the (first) chosen file
    QStringList Files;  // every chosen file, in the dialog's order

    // False when the user cancels.
    bool Execute(QWidget *parent);
};

class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;
    // A plain message box with an OK button.
    virtual void ShowMessage(QWidget *parent, const QString &text) = 0;
    // The default error report: the error's text in a message box.
    virtual void ShowError(QWidget *parent, const QString &text) = 0;
    // An input box; false when cancelled, `value` holds the proposal going in.
    virtual bool InputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value) = 0;
    // Shows the dialog and fills FileName and Files; false when cancelled.
    virtual bool ExecuteFileDialog(QWidget *parent, TFileDialog &dialog) = 0;
};

// The dialogs in force: Qt's unless a test has put its own in place.
TUserDialogs &UserDialogs();
// Puts `dialogs` in force (not owned); nullptr goes back to Qt's.
void SetUserDialogs(TUserDialogs *dialogs);
