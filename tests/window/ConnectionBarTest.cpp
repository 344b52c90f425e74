// The connection bar and the connect workflow on the real widgets, against
// a real FTP server on loopback.
#include "FormFixture.h"

#include "ChildProcess.h"
#include "FtpServerFixture.h"
#include "HostAddress.h"
#include "StatusBar.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

namespace {

QStringList LogOf(const TfrmMain &form)
{
    QStringList entries;
    for (int i = 0; i < form.lbConnection->count(); ++i)
        entries.append(form.lbConnection->item(i)->text());
    return entries;
}

class ConnectionBar : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        WriteIni("[GENERAL]\nSites=2\n[SITES]\n"
                 "Site0.Address=ftp.one.example\nSite0.UserName=alice\nSite0.Password=a\nSite0.DefaultFolder=/pub\n"
                 "Site1.Address=ftp.two.example\nSite1.UserName=bob\nSite1.Password=b\nSite1.DefaultFolder=/in\n");
        Start();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    }

    void Type(QWidget *widget, const QString &text)
    {
        widget->setFocus();
        QTest::keyClicks(widget, text);
    }

    void ExpectDisconnectedState()
    {
        EXPECT_EQ(Form->sbMain->PanelText(0), "Status: Offline");
        EXPECT_EQ(Form->btnConnect->toolTip(), "Connect to server.");
        EXPECT_FALSE(Form->actDownload->isEnabled());
        EXPECT_FALSE(Form->actUpAFolder->isEnabled());
        EXPECT_TRUE(Form->cbAddress->isEnabled());
        EXPECT_TRUE(Form->edUserName->isEnabled());
        EXPECT_TRUE(Form->edPassword->isEnabled());
        EXPECT_FALSE(Form->edCurrentDir->isEnabled());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    }

    QLineEdit *AddressEdit() { return Form->cbAddress->lineEdit(); }
};

TEST_F(ConnectionBar, EnterConnectsAndTheButtonDisconnects)
{
    FtpServer server;
    Form->AddToLog("old entry");
    AddressEdit()->clear();
    Type(AddressEdit(), QString("localhost:%1").arg(server.Port()));
    Form->edUserName->setText(FtpServer::User);
    Form->edPassword->setText(FtpServer::Password);
    QTest::keyClick(Form->edPassword, Qt::Key_Return);

    ASSERT_TRUE(Form->FTP.Connected());
    EXPECT_EQ(LogOf(*Form), (QStringList{"Resolving hostname localhost.", "Connecting to 127.0.0.1.", "Connected.",
                                         "Change Dir: "}));
    EXPECT_EQ(Form->sbMain->PanelText(0), "Status: Online");
    EXPECT_EQ(Form->btnConnect->toolTip(), "Disconnect from server.");
    EXPECT_EQ(Form->actConnect->toolTip(), "Connect to server.");
    for (QAction *action : {Form->actDownload, Form->actUpload, Form->actNewFolder, Form->actDelete,
                            Form->actRename, Form->actUpAFolder})
        EXPECT_TRUE(action->isEnabled());
    EXPECT_FALSE(Form->cbAddress->isEnabled());
    EXPECT_FALSE(Form->edUserName->isEnabled());
    EXPECT_FALSE(Form->edPassword->isEnabled());
    EXPECT_TRUE(Form->edCurrentDir->isEnabled());
    EXPECT_TRUE(Form->btnChangeFolder->isEnabled());
    EXPECT_EQ(Form->edCurrentDir->text(), "/");  // typed, not chosen: "CWD " and the server's folder
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    new QTreeWidgetItem(Form->tvFolders, QStringList{"pub"});
    Form->lvFiles->Items()->BeginAppend();
    Form->lvFiles->Items()->Append({"readme.txt", "readme.txt", -1});
    Form->lvFiles->Items()->EndAppend();
    Form->btnConnect->click();
    EXPECT_FALSE(Form->FTP.Connected());
    EXPECT_EQ(LogOf(*Form).mid(4), (QStringList{"Disconnecting from 127.0.0.1.", "Not connected."}));
    EXPECT_EQ(Form->tvFolders->topLevelItemCount(), 0);
    EXPECT_EQ(Form->lvFiles->Count(), 0);
    ExpectDisconnectedState();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(ConnectionBar, ARefusedConnectionLeavesTheWindowQuietlyDisconnected)
{
    AddressEdit()->clear();
    Type(AddressEdit(), QString("127.0.0.1:%1").arg(FreeLoopbackPort()));
    Form->AddToLog("old entry");
    Form->actConnect->trigger();
    EXPECT_FALSE(Form->FTP.Connected());
    EXPECT_EQ(LogOf(*Form), (QStringList{"Connecting to 127.0.0.1.", "Disconnecting from 127.0.0.1.", "Not connected."}));
    ExpectDisconnectedState();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    EXPECT_TRUE(Dialogs.Messages.isEmpty());
}

TEST_F(ConnectionBar, ARejectedLoginEndsDisconnectedWithoutAMessage)
{
    FtpServer server;
    AddressEdit()->clear();
    Type(AddressEdit(), QString("127.0.0.1:%1").arg(server.Port()));
    Form->edUserName->setText(FtpServer::User);
    Form->edPassword->setText("wrong");
    Form->actConnect->trigger();
    EXPECT_FALSE(Form->FTP.Connected());
    EXPECT_TRUE(LogOf(*Form).contains("Connected."));
    EXPECT_EQ(LogOf(*Form).last(), "Not connected.");
    ExpectDisconnectedState();
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

TEST_F(ConnectionBar, AChosenSiteStartsInItsDefaultFolder)
{
    FtpServer server;
    Form->cbAddress->setItemText(1, QString("localhost:%1").arg(server.Port()));
    Form->Sites[1].Address = Form->cbAddress->itemText(1);
    Form->Sites[1].UserName = FtpServer::User;
    Form->Sites[1].Password = FtpServer::Password;
    Form->cbAddress->setCurrentIndex(1);
    emit Form->cbAddress->activated(1);
    EXPECT_EQ(Form->edUserName->text(), FtpServer::User);
    EXPECT_EQ(Form->edCurrentDir->text(), "/in");
    Form->actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    EXPECT_EQ(Form->edCurrentDir->text(), "/in");
    Form->actConnect->trigger();
}

TEST_F(ConnectionBar, TypingASavedAddressFillsTheBarButChoosesNoItem)
{
    AddressEdit()->clear();
    Type(AddressEdit(), "FTP.TWO.EXAMPLE");
    EXPECT_EQ(Form->cbAddress->currentText(), "ftp.two.example");
    EXPECT_EQ(Form->edUserName->text(), "bob");
    EXPECT_EQ(Form->edCurrentDir->text(), "/in");
    EXPECT_EQ(Form->cbAddress->currentIndex(), -1);
    Type(AddressEdit(), "x");
    EXPECT_EQ(Form->edUserName->text(), "Anonymous");
    EXPECT_EQ(Form->edPassword->text(), "");
}

TEST_F(ConnectionBar, CtrlIAddsANewSiteAndUpdatesOneThatDiffersInCase)
{
    AddressEdit()->clear();
    Type(AddressEdit(), "new.example");
    Form->edUserName->setText("carol");
    Form->edPassword->setText("pw3");
    QTest::keyClick(Form->edPassword, Qt::Key_I, Qt::ControlModifier);
    ASSERT_EQ(Form->Sites.Count(), 3);
    EXPECT_EQ(Form->cbAddress->count(), 3);
    EXPECT_EQ(Form->cbAddress->itemText(2), "new.example");
    EXPECT_EQ(Form->Sites[2].UserName, "carol");
    EXPECT_EQ(Form->Sites[2].Password, "pw3");
    EXPECT_EQ(Form->Sites[2].DefaultFolder, "");
    EXPECT_EQ(Form->edPassword->text(), "pw3");  // the key was consumed, no tab typed

    Form->cbAddress->setEditText("FTP.One.Example");
    Form->edUserName->setText("alice2");
    Form->edPassword->setText("a2");
    QTest::keyClick(AddressEdit(), Qt::Key_I, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites.Count(), 3);
    EXPECT_EQ(Form->Sites[0].Address, "FTP.One.Example");
    EXPECT_EQ(Form->Sites[0].UserName, "alice2");
    EXPECT_EQ(Form->Sites[0].Password, "a2");
    EXPECT_EQ(Form->Sites[0].DefaultFolder, "/pub");
    EXPECT_EQ(Form->cbAddress->itemText(0), "ftp.one.example");  // the item keeps its text
}

TEST_F(ConnectionBar, TabMovesTheFocusAndAddsNoSite)
{
    AddressEdit()->clear();
    Type(AddressEdit(), "tab.example");
    AddressEdit()->setFocus();
    QTest::keyClick(AddressEdit(), Qt::Key_Tab);
    EXPECT_EQ(Form->Sites.Count(), 2);
    EXPECT_EQ(Form->cbAddress->count(), 2);
    EXPECT_FALSE(AddressEdit()->hasFocus());
}

TEST_F(ConnectionBar, CtrlDRemovesTheSelectedSiteOrNothing)
{
    ASSERT_EQ(Form->cbAddress->currentIndex(), 0);
    int downloads = 0;
    QObject::connect(Form->actDownload, &QAction::triggered, [&] { ++downloads; });
    QTest::keyClick(AddressEdit(), Qt::Key_D, Qt::ControlModifier);
    ASSERT_EQ(Form->Sites.Count(), 1);
    EXPECT_EQ(Form->Sites[0].Address, "ftp.two.example");
    EXPECT_EQ(Form->cbAddress->count(), 1);
    EXPECT_EQ(Form->cbAddress->currentIndex(), 0);
    EXPECT_EQ(Form->edUserName->text(), "bob");
    EXPECT_EQ(downloads, 0);

    // Typed text selects nothing: nothing goes, item 0 is chosen again.
    AddressEdit()->clear();
    Type(AddressEdit(), "other");
    ASSERT_EQ(Form->cbAddress->currentIndex(), -1);
    QTest::keyClick(Form->edUserName, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites.Count(), 1);
    EXPECT_EQ(Form->cbAddress->currentText(), "ftp.two.example");
    EXPECT_EQ(Form->edUserName->text(), "bob");

    // The only site: the list empties and the bar falls back to anonymous.
    QTest::keyClick(AddressEdit(), Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(Form->Sites.Count(), 0);
    EXPECT_EQ(Form->cbAddress->count(), 0);
    EXPECT_EQ(Form->edUserName->text(), "Anonymous");
    EXPECT_EQ(Form->edPassword->text(), "");
}

TEST(HostAddressSplit, PortOnlyWhenTheTailIsAValidPort)
{
    const struct {
        const char *Text, *Host;
        int Port;
    } cases[] = {
        {"ftp.example.com", "ftp.example.com", 21},
        {"ftp.example.com:2121", "ftp.example.com", 2121},
        {"127.0.0.1:65535", "127.0.0.1", 65535},
        {"host:0", "host:0", 21},
        {"host:65536", "host:65536", 21},
        {"host:", "host:", 21},
        {"host:21x", "host:21x", 21},
        {"host:+21", "host:+21", 21},
        {"a:b:990", "a:b", 990},
        {"", "", 21},
    };
    for (const auto &c : cases) {
        const THostAddress address = SplitHostAddress(c.Text);
        EXPECT_EQ(address.Host, c.Host) << c.Text;
        EXPECT_EQ(address.Port, c.Port) << c.Text;
    }
}

}  // namespace
