#include "PermissionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

TPermissionsDialog::TPermissionsDialog(const TPermissionQuestion &question, QWidget *parent) : QDialog(parent)
{
    setWindowTitle("Permissions");
    setObjectName("dlgPermissions");
    auto *layout = new QVBoxLayout(this);
    auto *names = new QLabel(QStringLiteral("Permissions of %1:").arg(question.Names));
    names->setWordWrap(true);
    layout->addWidget(names);

    auto *grid = new QGridLayout;
    const char *const whom[] = {"Owner", "Group", "Others"};
    const char *const what[] = {"Read", "Write", "Execute"};
    for (int column = 0; column < 3; ++column)
        grid->addWidget(new QLabel(what[column]), 0, column + 1);
    for (int row = 0; row < 3; ++row) {
        grid->addWidget(new QLabel(whom[row]), row + 1, 0);
        for (int column = 0; column < 3; ++column) {
            QCheckBox *box = FBits[row * 3 + column] = new QCheckBox;
            box->setAccessibleName(QStringLiteral("%1 %2").arg(whom[row], QString(what[column]).toLower()));
            box->setObjectName(QStringLiteral("cb%1%2").arg(whom[row], what[column]));
            connect(box, &QCheckBox::toggled, this, [this] { BoxesChanged(); });
            grid->addWidget(box, row + 1, column + 1, Qt::AlignCenter);
        }
    }
    layout->addLayout(grid);
    auto *numberRow = new QHBoxLayout;
    FNumber = new QLineEdit;
    FNumber->setObjectName("edOctal");
    FNumber->setAccessibleName("Numeric value");
    FNumber->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-7]{0,4}"), FNumber));
    FNumber->setMaxLength(4);
    auto *numberLabel = new QLabel("&Numeric value:");
    numberLabel->setBuddy(FNumber);
    numberRow->addWidget(numberLabel);
    numberRow->addWidget(FNumber);
    numberRow->addStretch();
    layout->addLayout(numberRow);
    connect(FNumber, &QLineEdit::textEdited, this, [this] { NumberEdited(); });

    FRecursive = new QCheckBox("&Recurse into subfolders");
    FRecursive->setObjectName("cbRecursive");
    auto *applyTo = new QGroupBox("Apply to");
    auto *applyLayout = new QVBoxLayout(applyTo);
    FApplyTo = new QButtonGroup(this);
    const char *const scopes[] = {"&All files and folders", "&Files only", "F&olders only"};
    for (int scope = 0; scope < 3; ++scope) {
        auto *radio = new QRadioButton(scopes[scope]);
        FApplyTo->addButton(radio, scope);
        applyLayout->addWidget(radio);
    }
    FApplyTo->button(0)->setChecked(true);
    applyTo->setEnabled(false);
    connect(FRecursive, &QCheckBox::toggled, applyTo, &QWidget::setEnabled);
    FRecursive->setVisible(question.HasFolders);
    applyTo->setVisible(question.HasFolders);
    layout->addWidget(FRecursive);
    layout->addWidget(applyTo);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);

    if (question.Mode >= 0) {
        FNumber->setText(QString::number(question.Mode, 8).rightJustified(3, '0'));
        NumberEdited();
    } else {
        BoxesChanged();
    }
}

void TPermissionsDialog::BoxesChanged()
{
    if (FSyncing)
        return;
    int mode = FHigh;
    for (int i = 0; i < 9; ++i)
        if (FBits[i]->isChecked())
            mode |= 1 << (8 - i);
    FNumber->setText(QString::number(mode, 8).rightJustified(FHigh ? 4 : 3, '0'));
}

void TPermissionsDialog::NumberEdited()
{
    const int mode = ModeOfOctalText(FNumber->text());
    if (mode < 0)
        return;
    FSyncing = true;
    for (int i = 0; i < 9; ++i)
        FBits[i]->setChecked(mode & (1 << (8 - i)));
    FSyncing = false;
    FHigh = mode & 07000;
}

TPermissionChange TPermissionsDialog::Result() const
{
    TPermissionChange change;
    const int typed = ModeOfOctalText(FNumber->text());
    change.Mode = typed >= 0 ? typed : 0;
    // Asked after the dialog closed, when nothing in it is visible.
    change.Recursive = !FRecursive->isHidden() && FRecursive->isChecked();
    change.ApplyTo = TPermissionChange::TApplyTo(FApplyTo->checkedId());
    return change;
}
