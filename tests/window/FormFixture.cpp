#include "FormFixture.h"

#include "CommonFunctions.h"
#include "ConnectionLog.h"
#include "SettingsStore.h"

#include <QAction>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProgressBar>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
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

template <typename T>
void FormFixture::Find(T *&control, const char *name)
{
    control = Form->findChild<T *>(name);
    ASSERT_TRUE(control) << "no control named " << name;
}

void FormFixture::Start()
{
    Form = std::make_unique<TfrmMain>();
    Find(cbAddress, "cbAddress");
    Find(edUserName, "edUserName");
    Find(edPassword, "edPassword");
    Find(edCurrentDir, "edCurrentDir");
    Find(btnConnect, "btnConnect");
    Find(btnDownload, "btnDownload");
    Find(btnUpAFolder, "btnUpAFolder");
    Find(btnChangeFolder, "btnChangeFolder");
    Find(tvFolders, "tvFolders");
    Find(lvFiles, "lvFiles");
    Find(SysTree, "SysTree");
    Find(lbConnection, "lbConnection");
    Find(sbMain, "sbMain");
    Find(pbTransfers, "pbTransfers");
    Find(spFilesAndLog, "spFilesAndLog");
    Find(spLocalAndRemote, "spLocalAndRemote");
    Find(pcRemoteSystem, "pcRemoteSystem");
    Find(tsFTP, "tsFTP");
    for (auto [action, name] : {std::pair{&actDownload, "actDownload"}, {&actUpload, "actUploadFiles"},
                                {&actDownloadAs, "actDownloadAs"},
                                {&actNewFolder, "actNewFolder"}, {&actDelete, "actDelete"},
                                {&actRename, "actRename"}, {&actConnect, "actConnect"}, {&actAbout, "actAbout"},
                                {&actUpAFolder, "actUpAFolder"}, {&Icon1, "Icon1"}, {&List1, "List1"},
                                {&Report1, "Report1"}, {&SmallIcon1, "SmallIcon1"}, {&ClearLog1, "ClearLog1"},
                                {&ShowProtocol1, "ShowProtocol1"}})
        Find(*action, name);
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

void FormFixture::WaitForTransfers()
{
    ASSERT_TRUE(QTest::qWaitFor([this] { return !Form->Runner().Active(); }, 60000)) << "the queue did not end";
}

bool FormFixture::LogOfContains(const QString &entry) const
{
    Form->Log().Flush();
    for (int i = 0; i < lbConnection->count(); ++i)
        if (lbConnection->item(i)->text() == entry)
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
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
}

QTreeWidgetItem *ConnectedForm::Folder(const QString &name) const
{
    const auto found = tvFolders->findItems(name, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
}

QStringList FormFixture::Folders() const
{
    QStringList names;
    for (int i = 0; i < tvFolders->topLevelItemCount(); ++i)
        names.append(tvFolders->topLevelItem(i)->text(0));
    return names;
}

QStringList FormFixture::Files() const
{
    QStringList names;
    for (int i = 0; i < lvFiles->Count(); ++i)
        names.append(lvFiles->Caption(i));
    return names;
}

QStringList FormFixture::LogEntries() const
{
    Form->Log().Flush();
    QStringList entries;
    for (int i = 0; i < lbConnection->count(); ++i)
        entries.append(lbConnection->item(i)->text());
    return entries;
}

void ConnectedForm::SelectFiles(const QStringList &captions)
{
    lvFiles->clearSelection();
    for (const QString &caption : captions) {
        const int row = int(Files().indexOf(caption));
        ASSERT_GE(row, 0) << caption.toStdString();
        const QModelIndex index = lvFiles->model()->index(row, 0);
        lvFiles->scrollTo(index);
        const Qt::KeyboardModifiers modifiers = caption == captions.front() ? Qt::NoModifier : Qt::ControlModifier;
        QTest::mouseClick(lvFiles->viewport(), Qt::LeftButton, modifiers,
                          lvFiles->visualRect(index).center());
    }
}

void ConnectedForm::ClickInto(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(10, widget->height() / 2));
}

std::map<std::string, std::string> Tree(const std::filesystem::path &root)
{
    namespace fs = std::filesystem;
    std::map<std::string, std::string> tree;
    for (auto it = fs::recursive_directory_iterator(root); it != fs::recursive_directory_iterator(); ++it)
        tree[it->path().lexically_relative(root).string()] =
            it->is_symlink() ? "link" : it->is_directory() ? "/" : Contents(it->path());
    return tree;
}

std::vector<std::filesystem::path> ResumableParts(const std::filesystem::path &folder, const std::string &name)
{
    std::vector<std::filesystem::path> parts;
    for (const auto &entry : std::filesystem::directory_iterator(folder)) {
        const std::string file = entry.path().filename().string();
        if (file.starts_with("." + name + ".") && file.ends_with(".veldra-part") &&
            file.size() == name.size() + std::string("..XXXXXX.veldra-part").size())
            parts.push_back(entry.path());
    }
    return parts;
}
