// The sites in the window: the manager and the address box are one list;
// FileZilla's sites come in at the first start and connect with their
// passwords and folders; a site's charset reads, downloads and writes names
// byte for byte; an address from outside connects without its password in
// the log; typed addresses are remembered and completed.
#include "FormFixture.h"

#include "ConnectionLog.h"
#include "FileZillaSites.h"
#include "SiteActions.h"
#include "SiteBox.h"
#include "SiteFields.h"
#include "SiteManager.h"
#include "SystemTreeView.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <QLineEdit>
#include <QTest>

#include <fstream>

namespace {

class SitesWindow : public ConnectedForm {
protected:
    // The saved site, pointed at the test server with the settings given.
    void EditSite(const std::function<void(TSiteEntry &)> &edit)
    {
        Dialogs.SiteManagerAnswers.push_back([edit](TSiteManagerData &data) {
            edit(data.Sites[0]);
            data.Chosen = 0;
            data.Connect = true;
            return true;
        });
        if (Form->Connection().Online())
            actConnect->trigger();
        Form->findChild<QAction *>("actSiteManager")->trigger();
    }
    QString Localhost() const { return QString("127.0.0.1"); }
    bool LogHas(const QString &text) const { return !LogEntries().filter(text).isEmpty(); }
};

TEST_F(SitesWindow, TheManagerAndTheAddressBoxAreOneList)
{
    actConnect->trigger();  // offline
    // Ctrl+I in the bar: a site at the top, which the manager shows.
    cbAddress->setEditText("new.example:2121");
    edUserName->setText("carol");
    Form->findChild<QAction *>("actSaveSite")->trigger();
    bool shown = false;
    Dialogs.SiteManagerAnswers.push_back([&](TSiteManagerData &data) {
        shown = data.Sites.IndexOfPath("new.example:2121") == 1 && data.Sites[1].UserName == "carol" &&
                data.Sites[1].Folder.isEmpty();
        // The first site goes into a folder under a name of its own.
        data.Sites[0].Name = "www";
        data.Sites[0].Folder = "Work";
        data.Sites.Folders << "Work";
        data.Origins = {0, 1};
        return true;
    });
    Form->findChild<QAction *>("actSiteManager")->trigger();
    EXPECT_TRUE(shown);
    ASSERT_EQ(cbAddress->count(), 2);
    EXPECT_EQ(cbAddress->itemText(0), "Work/www");
    // Kept at once: the next start finds it so.
    Stop();
    Start();
    EXPECT_EQ(cbAddress->itemText(0), "Work/www");
    EXPECT_EQ(cbAddress->currentText(), "Work/www");
    actConnect->trigger();
    ASSERT_TRUE(Form->Connection().Online());
    EXPECT_EQ(edCurrentDir->text(), "/pub");
}

TEST_F(SitesWindow, ASiteConnectsByItsOwnSettings)
{
    const TempDir local;
    // "Ask": the password is asked for and kept nowhere.
    Dialogs.InputAnswers.push_back(QString(FtpServer::Password));
    EditSite([&](TSiteEntry &site) {
        site.Protocol = TSiteProtocol::Ftp;  // TLS where offered: this server has none
        site.Logon = TLogonType::Ask;
        site.Password.clear();
        site.Mode = TTransferMode::Active;
        site.Transfers = 1;
        site.DefaultFolder = "/pub/sub";
        site.LocalFolder = QString::fromStdString(local.Path().string());
    });
    ASSERT_TRUE(Form->Connection().Online()) << LogEntries().join('\n').toStdString();
    ASSERT_EQ(Dialogs.InputsShown.size(), 1u);
    EXPECT_TRUE(Dialogs.InputsShown[0].Secret);
    EXPECT_TRUE(LogHas("The server offers no TLS: the connection is not encrypted."));
    EXPECT_TRUE(LogHas("This site runs 1 transfer at a time."));
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    EXPECT_FALSE(Form->Runner().Session().Passive);
    EXPECT_EQ(QDir::cleanPath(QString::fromStdString(SysTree->SelectionBytes())),
              QString::fromStdString(local.Path().string()));
    EXPECT_TRUE(Form->Sites[0].Password.isEmpty());
}

// Connect in the manager while connected asks whether to leave the
// server: No changes nothing (not the folder box either); Yes connects.
// The window's title names the site it is connected to.
TEST_F(SitesWindow, TheManagersConnectWhileConnectedAsksFirst)
{
    ASSERT_TRUE(Form->Connection().Online());
    const QString site = Form->Sites[0].Path();
    EXPECT_EQ(Form->windowTitle(), site + QString::fromUtf8(" \u2014 Veldra"));
    edCurrentDir->setText("/pub");
    const auto connectInManager = [&](bool leave) {
        Dialogs.ConfirmAnswers = {leave};
        Dialogs.SiteManagerAnswers.push_back([](TSiteManagerData &data) {
            data.Sites[0].DefaultFolder = "/pub/sub";
            data.Chosen = 0;
            data.Connect = true;
            return true;
        });
        Form->findChild<QAction *>("actSiteManager")->trigger();
    };
    connectInManager(false);
    ASSERT_FALSE(Dialogs.Questions.isEmpty());
    EXPECT_EQ(Dialogs.Questions.last(), QString("Disconnect from %1 and connect to %1?").arg(site));
    EXPECT_TRUE(Form->Connection().Online());
    EXPECT_EQ(edCurrentDir->text(), "/pub");
    connectInManager(true);
    EXPECT_TRUE(Form->Connection().Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    actConnect->trigger();
    EXPECT_TRUE(Form->windowTitle().startsWith("Veldra - v")) << Form->windowTitle().toStdString();
}

// A site saved while connected to an address typed is the session's from
// then on: its bookmarks can be kept.
TEST_F(SitesWindow, ASiteSavedWhileConnectedTakesBookmarks)
{
    actConnect->trigger();  // offline
    cbAddress->setEditText(QString("127.0.0.1:%1").arg(Server.Port()));
    edUserName->setText(FtpServer::User);
    edPassword->setText(FtpServer::Password);
    actConnect->trigger();
    ASSERT_TRUE(Form->Connection().Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(Form->windowTitle(), QString("127.0.0.1:%1").arg(Server.Port()) + QString::fromUtf8(" \u2014 Veldra"));
    Form->findChild<QAction *>("actSaveSite")->trigger();
    EXPECT_TRUE(LogHas("Site saved."));
    Dialogs.InputAnswers = {QString("Here")};
    Form->findChild<QAction *>("actAddBookmark")->trigger();
    EXPECT_TRUE(Dialogs.Messages.isEmpty()) << Dialogs.Messages.join('\n').toStdString();
    const int saved = Form->Sites.Count() - 1;
    ASSERT_EQ(Form->Sites[saved].Bookmarks.size(), 1);
    EXPECT_EQ(Form->Sites[saved].Bookmarks[0].Name, "Here");
}

TEST_F(SitesWindow, FileZillasSitesAreOfferedAtTheFirstStartAndConnect)
{
    Stop();
    // FileZilla's own list, where it keeps it for this user.
    const QString file = FileZillaSites::UserFile();
    QDir().mkpath(QFileInfo(file).path());
    const auto remove = qScopeGuard([file] { QFile::remove(file); });
    std::ofstream(file.toStdString())
        << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<FileZilla3 version=\"3.63.0\" platform=\"*nix\">"
           "<Servers><Folder expanded=\"1\">Büro<Server><Host>127.0.0.1</Host><Port>"
        << Server.Port()
        << "</Port><Protocol>6</Protocol><User>tester</User><Pass encoding=\"base64\">c2VjcmV0</Pass>"
           "<Logontype>1</Logontype><Name>Test server</Name><RemoteDir>1 0 3 pub 3 sub</RemoteDir></Server>"
           "</Folder><Server><Host>w.example</Host><Protocol>2</Protocol><Name>Web</Name></Server>"
           "</Servers></FileZilla3>\n";
    Dialogs.ConfirmAnswers = {true};
    Start();
    QTest::qWait(0);
    EXPECT_EQ(Dialogs.Questions, QStringList{"Import 1 site from FileZilla?"});
    ASSERT_EQ(Dialogs.Messages.size(), 1);
    EXPECT_TRUE(Dialogs.Messages[0].contains("\"Web\": HTTP is not a protocol Veldra speaks"));
    const int site = Form->Sites.IndexOfPath("Büro/Test server");
    ASSERT_GE(site, 0);
    // The password came out of its base64, and goes where passwords go.
    EXPECT_EQ(Form->Sites[site].Password, "secret");
    EXPECT_EQ(Form->Sites[site].Id.size(), 36);
    Form->Connection().OpenSite(site, true);
    ASSERT_TRUE(Form->Connection().Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");

    // Asked once, whatever the answer.
    Stop();
    Dialogs.Questions.clear();
    Start();
    QTest::qWait(0);
    EXPECT_TRUE(Dialogs.Questions.isEmpty());
}

TEST_F(SitesWindow, ExportedSitesComeBackWithTheirPasswordsWhenAsked)
{
    const TempDir out;
    for (const int answer : {0, 1}) {
        const QString file = QString::fromStdString(out.File("sites" + std::to_string(answer) + ".xml"));
        Dialogs.FileAnswers.push_back(QStringList{file});
        Dialogs.ChoiceAnswers.push_back({answer, false});
        Form->findChild<QAction *>("actExportSites")->trigger();
        const TSiteImport back = FileZillaSites::ReadFile(file);
        ASSERT_EQ(back.Sites.Count(), 1);
        EXPECT_EQ(back.Sites[0].Host, "localhost");
        EXPECT_EQ(back.Sites[0].Password, answer ? FtpServer::Password : "");
    }
}

// A server whose names are CP1251 bytes: listed, shown, downloaded and
// made byte for byte.
TEST_F(SitesWindow, NamesInTheSitesCharset)
{
    const std::string privet = "\xef\xf0\xe8\xe2\xe5\xf2.txt";  // "привет.txt" in CP1251
    std::ofstream(Remote("pub/" + privet), std::ios::binary) << "cyrillic";
    const TempDir local;
    EditSite([&](TSiteEntry &site) {
        site.Charset = "CP1251";
        site.LocalFolder = QString::fromStdString(local.Path().string());
    });
    ASSERT_TRUE(Form->Connection().Online());
    EXPECT_FALSE(LogHas("Sent: OPTS UTF8 ON"));
    ASSERT_TRUE(Files().contains("привет.txt")) << Files().join(',').toStdString();
    SelectFiles({"привет.txt"});
    actDownload->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(local.Path() / "привет.txt"), "cyrillic");
    // A name typed here goes to the server in its charset, and the log
    // reads it so.
    SelectFiles({"привет.txt"});
    Dialogs.InputAnswers.push_back(QString("пока.txt"));
    actRename->trigger();
    EXPECT_EQ(Contents(Remote("pub/\xef\xee\xea\xe0.txt")), "cyrillic");
    EXPECT_TRUE(LogHas("Sent: RNTO пока.txt"));
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

TEST_F(SitesWindow, AnAddressFromOutsideKeepsItsPasswordOutOfTheLog)
{
    actConnect->trigger();
    Form->Log().Clear();
    Form->Connection().OpenAddress(
        QString("ftp://%1:%2@127.0.0.1:%3/pub/sub/").arg(FtpServer::User, FtpServer::Password).arg(Server.Port()));
    ASSERT_TRUE(Form->Connection().Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
    EXPECT_EQ(cbAddress->currentText(), QString("ftp://127.0.0.1:%1").arg(Server.Port()));
    EXPECT_EQ(edUserName->text(), FtpServer::User);
    EXPECT_TRUE(LogEntries().filter(FtpServer::Password).isEmpty()) << LogEntries().join('\n').toStdString();
    // Remembered for this run, after the saved sites.
    EXPECT_EQ(cbAddress->itemText(cbAddress->count() - 1), cbAddress->currentText());
    actConnect->trigger();
    Form->Connection().OpenAddress("gopher://example.org/");
    EXPECT_TRUE(LogHas("\"gopher://\" is not supported"));

    // Typed, the address's folder is opened too.
    QTest::mouseClick(cbAddress->lineEdit(), Qt::LeftButton);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(QApplication::focusWidget(), QString("ftp://%1:%2@127.0.0.1:%3/pub/s%75b/")
                                                      .arg(FtpServer::User, FtpServer::Password)
                                                      .arg(Server.Port()));
    actConnect->trigger();
    ASSERT_TRUE(Form->Connection().Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(edCurrentDir->text(), "/pub/sub");
}

TEST(SiteBox, TypedAddressesAreRememberedAndCompleted)
{
    TSiteList sites;
    TSiteEntry www;
    www.Name = "www";
    www.Folder = "Work";
    sites.Append(www);
    QComboBox box;
    box.setEditable(true);
    TSiteBox list(&box, sites);
    list.Fill();
    for (int i = 0; i < 12; ++i)
        list.Remember(QString("host%1.example").arg(i));
    list.Remember("host5.example");
    ASSERT_EQ(box.count(), 1 + TSiteBox::TypedKept);
    EXPECT_EQ(box.itemText(0), "Work/www");
    EXPECT_EQ(box.itemText(1), "host5.example");
    EXPECT_EQ(box.itemText(2), "host11.example");
    EXPECT_EQ(box.findText("host1.example"), -1);  // the oldest went
    // Typing at the end offers the rest of the first that begins so.
    const std::pair<const char *, const char *> typed[] = {{"wo", "work/www"}, {"HOST1", "HOST11.example"},
                                                          {"nothing", "nothing"}};
    for (const auto &[text, shown] : typed) {
        box.lineEdit()->clear();
        list.Complete();
        box.lineEdit()->setText(text);
        list.Complete();
        EXPECT_EQ(box.currentText(), shown);
        EXPECT_EQ(box.lineEdit()->selectedText(), QString(shown).mid(QString(text).size()));
    }
    box.setEditText("Work/www");
    EXPECT_EQ(list.ChosenSite(), 0);
    box.setEditText("host5.example");
    EXPECT_EQ(list.ChosenSite(), -1);
}

}  // namespace
