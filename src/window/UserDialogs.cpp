#include "UserDialogs.h"

#include "FiltersDialog.h"
#include "PermissionsDialog.h"
#include "SettingsDialog.h"
#include "SiteManager.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

// "AB:CD:...", 32 bytes, as two lines of 16 that read and compare easily.
QString InTwoLines(const QString &fingerprint)
{
    const qsizetype half = fingerprint.size() / 2;
    const qsizetype cut = fingerprint.indexOf(':', half > 0 ? half - 1 : 0);
    return cut < 0 ? fingerprint : fingerprint.left(cut + 1) + '\n' + fingerprint.mid(cut + 1);
}

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

    bool Confirm(QWidget *parent, const QString &text) override
    {
        return QMessageBox::question(parent, QApplication::applicationName(), text,
                                     QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    }

    TOverwriteChoice AskOverwrite(QWidget *parent, const TOverwriteQuestion &question) override
    {
        QMessageBox box(QMessageBox::Question, QApplication::applicationName(), question.Text, QMessageBox::NoButton,
                        parent);
        const QString facts = question.Existing.isEmpty() ? QString()
                                                          : QStringLiteral("Now: %1\nNew: %2\n\n").arg(question.Existing,
                                                                                                       question.Incoming);
        box.setInformativeText(facts + QStringLiteral("Rename saves it as \"%1\".").arg(question.FreeName) +
                               (question.CanResume ? QStringLiteral(" Resume goes on from the part that arrived before.")
                                                   : QString()));
        QPushButton *overwrite = box.addButton("&Overwrite", QMessageBox::AcceptRole);
        QPushButton *skip = box.addButton("&Skip", QMessageBox::RejectRole);
        QPushButton *rename = box.addButton("&Rename", QMessageBox::AcceptRole);
        QPushButton *resume = question.CanResume ? box.addButton("Res&ume", QMessageBox::AcceptRole) : nullptr;
        box.setDefaultButton(skip);
        box.setEscapeButton(skip);
        QCheckBox all("&Apply to all");
        if (question.Several)
            box.setCheckBox(&all);
        box.exec();
        TOverwriteChoice choice;
        choice.ApplyToAll = question.Several && all.isChecked();
        if (box.clickedButton() == overwrite)
            choice.Answer = TOverwriteAnswer::Overwrite;
        else if (box.clickedButton() == rename)
            choice.Answer = TOverwriteAnswer::Rename;
        else if (resume && box.clickedButton() == resume)
            choice.Answer = TOverwriteAnswer::Resume;
        return choice;
    }

    TChoice Choose(QWidget *parent, const TChoiceQuestion &question) override
    {
        QMessageBox box(question.Warning ? QMessageBox::Warning : QMessageBox::Question, QApplication::applicationName(),
                        question.Text, QMessageBox::NoButton, parent);
        box.setInformativeText(question.Details);
        std::vector<QPushButton *> buttons;
        for (const QString &answer : question.Answers)
            buttons.push_back(box.addButton(answer, QMessageBox::AcceptRole));
        box.setDefaultButton(buttons.at(size_t(question.Default)));
        const int escape = question.Escape >= 0 ? question.Escape : question.Default;
        box.setEscapeButton(buttons.at(size_t(escape)));
        QCheckBox check(question.CheckBox);
        if (!question.CheckBox.isEmpty())
            box.setCheckBox(&check);
        box.exec();
        TChoice choice{escape, check.isChecked()};
        for (size_t i = 0; i < buttons.size(); ++i)
            if (box.clickedButton() == buttons[i])
                choice.Answer = int(i);
        return choice;
    }

    bool EditSettings(QWidget *parent, TAppSettings &settings) override
    {
        TSettingsDialog dialog(settings, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        settings = dialog.Result();
        return true;
    }

    bool EditFilters(QWidget *parent, std::vector<TNameFilter> &rules) override
    {
        TFiltersDialog dialog(rules, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        rules = dialog.Result();
        return true;
    }

    bool AskPermissions(QWidget *parent, const TPermissionQuestion &question, TPermissionChange &change) override
    {
        TPermissionsDialog dialog(question, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        change = dialog.Result();
        return true;
    }

    bool EditSites(QWidget *parent, TSiteManagerData &data) override
    {
        TSiteManagerDialog dialog(data, parent);
        if (dialog.exec() != QDialog::Accepted)
            return false;
        data = dialog.Result();
        return true;
    }

    TCertificateAnswer AskCertificate(QWidget *parent, const TCertificateQuestion &question) override
    {
        const bool changed = !question.TrustedFingerprint.isEmpty();
        QMessageBox box(changed ? QMessageBox::Critical : QMessageBox::Warning, QApplication::applicationName(),
                        changed ? QStringLiteral("The certificate of %1 has CHANGED since you trusted it. Someone "
                                                 "may be pretending to be the server.")
                                      .arg(question.Server)
                                : QStringLiteral("The certificate of %1 could not be verified.").arg(question.Server),
                        QMessageBox::NoButton, parent);
        QString details = QStringLiteral("Subject: %1\nIssuer: %2\nValid from %3 to %4\nSHA-256 fingerprint:\n%5")
                              .arg(question.Subject, question.Issuer, question.NotBefore, question.NotAfter,
                                   InTwoLines(question.Fingerprint));
        if (changed)
            details += "\nTrusted before:\n" + InTwoLines(question.TrustedFingerprint);
        if (!question.Problem.isEmpty())
            details = "Problem: " + question.Problem + "\n" + details;
        box.setInformativeText(details);
        QPushButton *once = box.addButton("Trust &Once", QMessageBox::AcceptRole);
        QPushButton *always = box.addButton("Trust &Always", QMessageBox::AcceptRole);
        QPushButton *cancel = box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(cancel);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == once)
            return TCertificateAnswer::TrustOnce;
        if (box.clickedButton() == always)
            return TCertificateAnswer::TrustAlways;
        return TCertificateAnswer::Cancel;
    }

    bool InputQuery(QWidget *parent, const QString &caption, const QString &prompt, QString &value) override
    {
        return Input(parent, caption, prompt, value, QLineEdit::Normal);
    }

    bool AskSecret(QWidget *parent, const QString &caption, const QString &prompt, QString &value) override
    {
        return Input(parent, caption, prompt, value, QLineEdit::Password);
    }

    static bool Input(QWidget *parent, const QString &caption, const QString &prompt, QString &value,
                      QLineEdit::EchoMode echo)
    {
        QInputDialog box(parent);
        box.setTextEchoMode(echo);
        box.setWindowTitle(caption);
        box.setLabelText(prompt);
        box.setTextValue(value);
        // Wide enough for its whole title beside the frame's buttons: a
        // window manager cuts a title to the window ("Make … ectory").
        box.setMinimumWidth(box.fontMetrics().horizontalAdvance(caption) + 12 * box.fontMetrics().height());
        if (box.exec() != QDialog::Accepted)
            return false;
        value = box.textValue();
        return true;
    }

    bool ExecuteFileDialog(QWidget *parent, TFileDialog &dialog) override
    {
        QFileDialog box(parent);
        box.setDirectory(dialog.InitialDir);
        box.selectFile(dialog.FileName);
        if (dialog.Kind == TFileDialog::TKind::Save) {
            box.setAcceptMode(QFileDialog::AcceptSave);
            box.setFileMode(QFileDialog::AnyFile);
            // The dialog asks before a chosen file is replaced; the download
            // then does not ask again.
        } else if (dialog.Kind == TFileDialog::TKind::Folder) {
            box.setAcceptMode(QFileDialog::AcceptOpen);
            box.setFileMode(QFileDialog::Directory);
            box.setOption(QFileDialog::ShowDirsOnly);
            box.setWindowTitle(dialog.Title.isEmpty() ? QStringLiteral("Choose a Folder") : dialog.Title);
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
