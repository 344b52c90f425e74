#include "UserDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

class TQtDialogs : public TUserDialogs {
public:
    void ShowMessage(QWidget *parent, const QString &text) override
    {
        QMessageBox::information(parent, QApplication::applicationName(), text);
    }

    void ShowError(QWidget *parent, const QString &text) override
    {
        QMessageBox::critical(parent, QApplication::applicationName(), text);
    }

    bool InputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value) override
    {
        bool ok = false;
        const QString answer = QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, value, &ok);
        if (ok)
            value = answer;
        return ok;
    }

    bool ExecuteFileDialog(QWidget *parent, TFileDialog &dialog) override
    {
        QFileDialog box(parent);
        box.setDirectory(dialog.InitialDir);
        box.selectFile(dialog.FileName);
        if (dialog.Kind == TFileDialog::TKind::Save) {
            box.setAcceptMode(QFileDialog::AcceptSave);
            box.setFileMode(QFileDialog::AnyFile);
            box.setOption(QFileDialog::DontConfirmOverwrite);
        } else {
            box.setAcceptMode(QFileDialog::AcceptOpen);
            box.setFileMode(dialog.MultiSelect ? QFileDialog::ExistingFiles : QFileDialog::ExistingFile);
        }
        if (box.exec() != QDialog::Accepted || box.selectedFiles().isEmpty())
            return false;
        dialog.Files = box.selectedFiles();
        dialog.FileName = dialog.Files.front();
        return true;
    }
};

TQtDialogs QtDialogs;
TUserDialogs *Current = nullptr;

}  // namespace

TUserDialogs &UserDialogs()
{
    return Current ? *Current : QtDialogs;
}

void SetUserDialogs(TUserDialogs *dialogs)
{
    Current = dialogs;
}

bool TFileDialog::Execute(QWidget *parent)
{
    return UserDialogs().ExecuteFileDialog(parent, *this);
}
