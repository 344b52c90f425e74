// The permissions dialog: read, write and execute for owner, group and
// others as check boxes beside the octal number, each following the
// other as the user changes either; and, for folders, whether the change
// goes into all they hold, and to files, folders or both.
#pragma once

#include "Permissions.h"

#include <QDialog>

class QButtonGroup;
class QCheckBox;
class QLineEdit;

// What the dialog shows going in: the chosen items' names and their bits
// where they agree (else -1: the boxes start clear).
struct TPermissionQuestion {
    QString Names;
    int Mode = -1;
    bool HasFolders = false;
};

class TPermissionsDialog : public QDialog {
    Q_OBJECT
public:
    TPermissionsDialog(const TPermissionQuestion &question, QWidget *parent = nullptr);
    TPermissionChange Result() const;

private:
    void BoxesChanged();
    void NumberEdited();

    QCheckBox *FBits[9];
    QLineEdit *FNumber;
    QCheckBox *FRecursive;
    QButtonGroup *FApplyTo;
    // The bits past the nine boxes (set-user, set-group, sticky) are kept.
    int FHigh = 0;
    bool FSyncing = false;
};
