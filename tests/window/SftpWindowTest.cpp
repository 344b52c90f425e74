// The window over SFTP against OpenSSH's sshd: the address with its user,
// the host key question, the log-in, browsing, and a tree with odd names
// down and up through the queue, whose connections ask nothing again.
#include "FormFixture.h"

#include "StatusBar.h"
#include "FileTimes.h"
#include "IdGlobal.h"

#include <QDateTime>

#include "SiteManager.h"
#include "SshServer.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <pwd.h>
#include <unistd.h>

#include <fstream>
#include <map>

namespace fs = std::filesystem;

namespace {

class SftpWindow : public FormFixture {
protected:
    void SetUp() override
    {
        if (const std::string why = SshServer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        FormFixture::SetUp();
        const fs::path site = Root.Path() / "home" / "site";
        fs::create_directories(site / "level one" / "two \xc3\xa9t\xc3\xa9");
        std::ofstream(site / "a file.txt") << "top level";
        std::ofstream(site / "caf\xe9.bin", std::ios::binary) << std::string("\0\1\2latin", 8);
        std::ofstream(site / "level one" / "two \xc3\xa9t\xc3\xa9" / "deep file.bin", std::ios::binary)
            << std::string(300000, 'd');
        fs::create_directory_symlink("..", site / "loop");
        fs::create_symlink("a file.txt", site / "alias.txt");
        Server = std::make_unique<SshServer>(Root.Path() / "home");
        std::system(("chown -hR " + SshServer::User() + ": " + (Root.Path() / "home").string()).c_str());
        Start();
        Form->show();
    }

    void ConnectWith(const QString &password)
    {
        cbAddress->setEditText(QString("sftp://%1@127.0.0.1:%2").arg(SshServer::User().c_str()).arg(Server->Port()));
        edPassword->setText(password);
        actConnect->trigger();
    }

    QTreeWidgetItem *Folder(const QString &name) const
    {
        const auto found = tvFolders->findItems(name, Qt::MatchExactly);
        return found.isEmpty() ? nullptr : found.front();
    }

    fs::path Remote(const std::string &relative) const { return Root.Path() / "home" / relative; }

    TempDir Root, Local;
    std::unique_ptr<SshServer> Server;
};

TEST_F(SftpWindow, LogsInBrowsesAndMovesATreeBothWays)
{
    // A wrong password: the server asks again in its words, hidden; wrong
    // again, it is said in words, in a box, and the window stays offline.
    Dialogs.ChoiceAnswers.push_back({0, false});  // trust once
    Dialogs.InputAnswers.push_back("still wrong");
    ConnectWith("wrong");
    ASSERT_FALSE(Form->Online());
    ASSERT_EQ(Dialogs.InputsShown.size(), 1u);
    EXPECT_EQ(Dialogs.InputsShown[0].Prompt, "Password: ");
    EXPECT_TRUE(Dialogs.InputsShown[0].Secret);
    ASSERT_EQ(Dialogs.Errors.size(), 1u);
    EXPECT_EQ(Dialogs.Errors[0], "The server refused the password for \"ftptest\".");
    ASSERT_EQ(Dialogs.ChoicesAsked.size(), 1u);
    EXPECT_TRUE(Dialogs.ChoicesAsked[0].Text.contains("is not known"));
    EXPECT_TRUE(Dialogs.ChoicesAsked[0].Details.contains(QString::fromStdString(Server->Fingerprint()).mid(7)));

    Dialogs.ChoiceAnswers.push_back({0, false});
    ConnectWith(QString::fromStdString(SshServer::Password()));
    ASSERT_TRUE(Form->Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(edUserName->text(), "ftptest");
    EXPECT_EQ(edCurrentDir->text().toStdString(), (Root.Path() / "home").string());
    EXPECT_TRUE(Folders().contains("site"));
    EXPECT_FALSE(LogEntries().contains("The connection is not encrypted."));
    // The log tells the connection's way as it does for FTP.
    for (const QString &line : {QStringLiteral("Connecting to 127.0.0.1."), QStringLiteral("Logged in as ftptest."),
                                "Host key: ssh-ed25519 " + QString::fromStdString(Server->Fingerprint()) + " (unknown)."})
        EXPECT_TRUE(LogEntries().contains(line)) << line.toStdString() << "\n" << LogEntries().join('\n').toStdString();

    tvFolders->setFocus();
    tvFolders->setCurrentItem(Folder("site"));
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(Local.Path().string())});
    actDownloadAs->trigger();
    WaitForTransfers();
    std::map<std::string, std::string> expected = Tree(Remote("site"));
    expected.erase("loop");
    expected["alias.txt"] = "top level";
    EXPECT_EQ(Tree(Local.Path() / "site"), expected);
    EXPECT_TRUE(LogEntries().contains("Skipped \"loop\": a link to a folder is not followed."));
    EXPECT_EQ(Dialogs.Errors.size(), 1u) << Dialogs.Errors.join('\n').toStdString();

    // Up again into a new folder there.
    tvFolders->setCurrentItem(Folder("site"));
    QTest::keyClick(tvFolders, Qt::Key_Return);
    ASSERT_TRUE(QTest::qWaitFor([&] { return edCurrentDir->text().endsWith("/site"); }, 5000));
    Form->Transfers().UploadPath((Local.Path() / "site").string());
    WaitForTransfers();
    EXPECT_EQ(Tree(Remote("site/site")), Tree(Local.Path() / "site"));
    EXPECT_EQ(Dialogs.Errors.size(), 1u) << Dialogs.Errors.join('\n').toStdString();
    // The queue's connections took the host key and password as settled.
    EXPECT_EQ(Dialogs.ChoicesAsked.size(), 2u);
    EXPECT_EQ(Dialogs.InputsShown.size(), 1u);

    actConnect->trigger();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Form->Online(); }, 5000));
    EXPECT_FALSE(LogEntries().contains("The server closed the connection."));
}

// sshd dies: the window goes offline at once, saying so, and keeps the
// listing; the server back, the user's next action connects again.
TEST_F(SftpWindow, AServerThatDiesIsNoticedAndTheNextActionConnectsAgain)
{
    Dialogs.ChoiceAnswers.push_back({0, false});
    ConnectWith(QString::fromStdString(SshServer::Password()));
    ASSERT_TRUE(Form->Online()) << LogEntries().join('\n').toStdString();
    ASSERT_TRUE(Folders().contains("site"));
    Server->Stop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return sbMain->PanelText(0) == "Status: Offline"; }, 5000))
        << LogEntries().join('\n').toStdString();
    EXPECT_EQ(LogEntries().filter("The server closed the connection.").size(), 1);
    EXPECT_TRUE(Folders().contains("site"));

    Server->Start();
    // A file's time as SFTP gives it, to the second, in the time here.
    std::ofstream(Remote("stamped.txt")) << "s";
    const int64_t when = SecondsOfTimeText("20261208131946");
    ASSERT_TRUE(SetLocalFileSeconds(Remote("stamped.txt").string(), when));
    tvFolders->setFocus();
    QTest::keyClick(tvFolders, Qt::Key_F5);
    EXPECT_EQ(sbMain->PanelText(0), "Status: Online") << LogEntries().join('\n').toStdString();
    EXPECT_TRUE(Folders().contains("site"));
    const int row = int(Files().indexOf("stamped.txt"));
    ASSERT_GE(row, 0);
    EXPECT_TRUE(lvFiles->model()->index(row, 0).data(Qt::AccessibleDescriptionRole).toString().contains(
        QDateTime::fromSecsSinceEpoch(when).toString("HH:mm:ss")));
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
    EXPECT_EQ(Dialogs.ChoicesAsked.size(), 1u);  // the host key taken once
}

// A password asked for, not typed in the bar, is the session's: it fills
// the bar, so the site saved keeps it.
TEST_F(SftpWindow, APasswordAskedForIsKeptWithTheSite)
{
    Dialogs.ChoiceAnswers.push_back({0, false});
    Dialogs.InputAnswers.push_back(QString::fromStdString(SshServer::Password()));
    ConnectWith("");
    ASSERT_TRUE(Form->Online()) << LogEntries().join('\n').toStdString();
    ASSERT_EQ(Dialogs.InputsShown.size(), 1u);
    EXPECT_EQ(Dialogs.InputsShown[0].Prompt, "Password for ftptest@127.0.0.1:");
    EXPECT_EQ(edPassword->text().toStdString(), SshServer::Password());

    // And a folder deleted with all it holds, after the question with its
    // counts; the link loop goes as a link, what it leads to stays.
    tvFolders->setFocus();
    tvFolders->setCurrentItem(Folder("site"));
    Dialogs.ConfirmAnswers = {true};
    actDelete->trigger();
    WaitForTransfers();
    EXPECT_EQ(Dialogs.Questions, QStringList{"Delete the folder \"site\" with 5 files and 2 folders from the server? "
                                             "This cannot be undone."});
    EXPECT_FALSE(fs::exists(Remote("site")));
    EXPECT_TRUE(fs::exists(Root.Path() / "home"));
    EXPECT_FALSE(Folders().contains("site"));
}

// A site of the manager's with its own key file, on a server that takes
// keys alone: the passphrase is asked once, and a key file not there is
// named in the refusal.
TEST_F(SftpWindow, ASiteLogsInWithItsKeyFile)
{
    SshServer::Options keysOnly;
    keysOnly.Password = keysOnly.Interactive = false;
    Server.reset();
    Server = std::make_unique<SshServer>(Root.Path() / "home", keysOnly);
    const std::string key = Server->MakeClientKey(Local.Path(), "open sesame");
    for (const std::string &file : {Local.File("missing"), key}) {
        Dialogs.SiteManagerAnswers.push_back([&](TSiteManagerData &data) {
            TSiteEntry site;
            site.Name = "Keys";
            site.Protocol = TSiteProtocol::Sftp;
            site.Host = "127.0.0.1";
            site.Port = Server->Port();
            site.UserName = QString::fromStdString(SshServer::User());
            site.Logon = TLogonType::KeyFile;
            site.KeyFile = QString::fromStdString(file);
            site.DefaultFolder = QString::fromStdString(Remote("site").string());
            site.Id = "keys";
            data.Sites.Clear();
            data.Sites.Append(site);
            data.Origins = {-1};
            data.Chosen = 0;
            data.Connect = true;
            return true;
        });
        Dialogs.ChoiceAnswers.push_back({0, false});  // the host key, once
        Dialogs.InputAnswers.push_back(QString("open sesame"));
        Form->findChild<QAction *>("actSiteManager")->trigger();
    }
    ASSERT_TRUE(Form->Online()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(Dialogs.Errors.size(), 1);
    EXPECT_TRUE(Dialogs.Errors.value(0).contains("missing, which is not there")) << Dialogs.Errors.join('\n').toStdString();
    ASSERT_EQ(Dialogs.InputsShown.size(), 1u);
    EXPECT_EQ(Dialogs.InputsShown[0].Prompt.toStdString(), "Passphrase for the key " + key + ":");
    EXPECT_EQ(edCurrentDir->text().toStdString(), Remote("site").string());
    EXPECT_TRUE(Files().contains("a file.txt"));
}

}  // namespace
