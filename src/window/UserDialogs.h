// Every modal question the window asks goes through this one interface, so
// that tests can answer it. The real implementation opens Qt's dialogs.
#pragma once

#include "OverwriteQuestion.h"

#include <QString>
#include <QStringList>

#include <vector>

class QWidget;
struct TSiteManagerData;
struct TAppSettings;
struct TNameFilter;
struct TPermissionChange;
struct TPermissionQuestion;

// State of an open or save dialog component: what it proposes before it is
// shown and what the user chose after.
struct TFileDialog {
    enum class TKind { Open, Save, Folder };  // Folder: an existing folder
    TKind Kind = TKind::Open;
    bool MultiSelect = false;
    QString Title;  // the dialog's own when empty
    QString InitialDir;
    QString FileName;   // proposed, then the (first) chosen file
    QStringList Files;  // every chosen file, in the dialog's order

    // False when the user cancels.
    bool Execute(QWidget *parent);
};

// A server's certificate that needs the user: one that does not verify, or
// one that differs from the certificate trusted before for that server.
struct TCertificateQuestion {
    QString Server;  // "host:port"
    QString Subject, Issuer, NotBefore, NotAfter, Fingerprint;
    QString Problem;  // what is wrong, "" when it verified
    QString TrustedFingerprint;  // set when it replaced a trusted one
};

enum class TCertificateAnswer { Cancel, TrustOnce, TrustAlways };

// A question with answers of its own words ("&Use TLS", "&Connect
// Without"), and a check box under them when `CheckBox` names one.
struct TChoiceQuestion {
    QString Text, Details;
    QStringList Answers;
    int Default = 0;  // what Enter answers
    int Escape = -1;  // what Escape and closing the box answer; -1: the default
    QString CheckBox;
    // A warning's icon, not a question's.
    bool Warning = false;
};

struct TChoice {
    int Answer = 0;  // index into the question's answers
    bool Checked = false;
};

class TUserDialogs {
public:
    virtual ~TUserDialogs() = default;
    // A plain message box with an OK button.
    virtual void ShowMessage(QWidget *parent, const QString &text) = 0;
    // The default error report: the error's text in a message box.
    virtual void ShowError(QWidget *parent, const QString &text) = 0;
    // A question with Yes and No, No the default; true for Yes.
    virtual bool Confirm(QWidget *parent, const QString &text) = 0;
    // Overwrite, Skip or Rename; closing the box skips.
    virtual TOverwriteChoice AskOverwrite(QWidget *parent, const TOverwriteQuestion &question) = 0;
    // One of the question's answers, and its check box.
    virtual TChoice Choose(QWidget *parent, const TChoiceQuestion &question) = 0;
    // The Settings dialog over `settings`; false when cancelled.
    virtual bool EditSettings(QWidget *parent, TAppSettings &settings) = 0;
    // The site manager over `data`; false when cancelled.
    virtual bool EditSites(QWidget *parent, TSiteManagerData &data) = 0;
    // The filename filters' rules; false when cancelled.
    virtual bool EditFilters(QWidget *parent, std::vector<TNameFilter> &rules) = 0;
    // The permissions dialog; false when cancelled.
    virtual bool AskPermissions(QWidget *parent, const TPermissionQuestion &question, TPermissionChange &change) = 0;
    // Trust once, trust always, or cancel (the default).
    virtual TCertificateAnswer AskCertificate(QWidget *parent, const TCertificateQuestion &question) = 0;
    // An input box; false when cancelled, `value` holds the proposal going in.
    virtual bool InputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value) = 0;
    // The same for a password: what is typed does not show.
    virtual bool AskSecret(QWidget *parent, const QString &caption, const QString &prompt, QString &value) = 0;
    // Shows the dialog and fills FileName and Files; false when cancelled.
    virtual bool ExecuteFileDialog(QWidget *parent, TFileDialog &dialog) = 0;
};

// The dialogs in force: Qt's unless a test has put its own in place.
TUserDialogs &UserDialogs();
// Puts `dialogs` in force (not owned); nullptr goes back to Qt's.
void SetUserDialogs(TUserDialogs *dialogs);
