#include "FormFixture.h"

#include "CommonFunctions.h"
#include "SettingsStore.h"

#include <QFile>
#include <QListWidget>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <fstream>

namespace {

QString IniName()
{
    return ProgramFolder() + "/FTP.Ini";
}

}  // namespace

void FormFixture::SetUp()
{
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(Config.Path().string()));
    QFile::remove(IniName());
}

void FormFixture::TearDown()
{
    Form.reset();
    QFile::remove(IniName());
}

void FormFixture::WriteIni(const std::string &text) const
{
    std::ofstream(IniName().toStdString(), std::ios::binary) << text;
}

bool FormFixture::IniExists() const
{
    return QFile::exists(IniName());
}

QString FormFixture::SettingsFileName() const
{
    return TSettingsStore::FileName();
}

void FormFixture::WriteSettingsFile(const std::string &text) const
{
    const std::filesystem::path path = SettingsFileName().toStdString();
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

std::unique_ptr<QSettings> FormFixture::ReadSettings() const
{
    return std::make_unique<QSettings>(SettingsFileName(), QSettings::IniFormat);
}

bool FormFixture::LogOfContains(const QString &entry) const
{
    for (int i = 0; i < Form->lbConnection->count(); ++i)
        if (Form->lbConnection->item(i)->text() == entry)
            return true;
    return false;
}

void ConnectedForm::SetUp()
{
    FormFixture::SetUp();
    const auto root = Server.Root().Path();
    std::filesystem::create_directories(root / "pub" / "sub");
    std::filesystem::create_directories(root / "pub" / "empty");
    std::ofstream(root / "pub" / "notes.txt") << "n";
    std::ofstream(root / "pub" / "report.pdf") << "p";
    std::ofstream(root / "top.txt") << "t";
    WriteIni(QString("[GENERAL]\nSites=1\n[SITES]\nSite0.Address=localhost:%1\nSite0.UserName=%2\n"
                     "Site0.Password=%3\nSite0.DefaultFolder=pub\n")
                 .arg(Server.Port())
                 .arg(FtpServer::User, FtpServer::Password)
                 .toStdString());
    Start();
    Form->show();
    Form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    Form->actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
}

QTreeWidgetItem *ConnectedForm::Folder(const QString &name) const
{
    const auto found = Form->tvFolders->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
}

QStringList FormFixture::Folders() const
{
    QStringList names;
    for (int i = 0; i < Form->tvFolders->topLevelItemCount(); ++i)
        names.append(Form->tvFolders->topLevelItem(i)->text(0));
    return names;
}

QStringList FormFixture::Files() const
{
    QStringList names;
    for (int i = 0; i < Form->lvFiles->Count(); ++i)
        names.append(Form->lvFiles->Caption(i));
    return names;
}

QStringList FormFixture::LogEntries() const
{
    QStringList entries;
    for (int i = 0; i < Form->lbConnection->count(); ++i)
        entries.append(Form->lbConnection->item(i)->text());
    return entries;
}

void ConnectedForm::SelectFiles(const QStringList &captions)
{
    Form->lvFiles->clearSelection();
    for (const QString &caption : captions) {
        const int row = int(Files().indexOf(caption));
        ASSERT_GE(row, 0) << caption.toStdString();
        const QModelIndex index = Form->lvFiles->model()->index(row, 0);
        Form->lvFiles->scrollTo(index);
        const Qt::KeyboardModifiers modifiers = caption == captions.front() ? Qt::NoModifier : Qt::ControlModifier;
        QTest::mouseClick(Form->lvFiles->viewport(), Qt::LeftButton, modifiers,
                          Form->lvFiles->visualRect(index).center());
    }
}

void ConnectedForm::ClickInto(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(10, widget->height() / 2));
}
