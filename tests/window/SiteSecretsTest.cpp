// The sites' passwords in the desktop's secret store: a real gnome-keyring
// in the test's own D-Bus session (test_window_secret_store runs these under
// with_keyring.sh), and the settings file when there is none.
#include "FormFixture.h"

#include "SecretStore.h"
#include "SiteFields.h"
#include "SiteManager.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>
#include <string>

namespace {

// "unlocked", "refusing", or none.
std::string Keyring()
{
    const char *mode = std::getenv("VELDRA_TEST_KEYRING");
    return mode ? mode : "";
}

bool KeyringRuns()
{
    return Keyring() == "unlocked";
}

class SiteSecrets : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        // An older version's file, passwords and all.
        WriteIni(QString("[GENERAL]\nSites=2\n[SITES]\n"
                         "Site0.Address=127.0.0.1:%1\nSite0.UserName=tester\nSite0.Password=secret\n"
                         "Site1.Address=ftp.two.example\nSite1.UserName=bob\nSite1.Password=b-secret\n")
                     .arg(Server.Port())
                     .toStdString());
    }

    void StartShown()
    {
        Start();
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }
    // The bar's keys, as a user gives them: a click into the address box,
    // then the keys to whatever has the focus.
    void PressInAddressBox(int key, Qt::KeyboardModifiers modifiers = Qt::ControlModifier)
    {
        QTest::mouseClick(cbAddress, Qt::LeftButton, {}, QPoint(10, cbAddress->height() / 2));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), modifiers);
    }
    static QString Stored(const QString &key)
    {
        TSecretStore store;
        QString secret;
        return store.Read(key, secret) == TSecretStore::Done ? secret : QStringLiteral("<none>");
    }
    QStringList PasswordsInFile() const
    {
        QStringList found;
        const auto settings = ReadSettings();
        for (const QString &key : settings->allKeys())
            if (key.endsWith(".Password") && !settings->value(key).toString().isEmpty())
                found.append(key);
        return found;
    }
    QString Tester() const { return QString("tester@127.0.0.1:%1").arg(Server.Port()); }

    FtpServer Server;
};

// Moved from the file at the first save; at the next start the store is
// not asked until the site connects, which then takes its password from
// there. A site changed or removed in the bar takes its secret along.
TEST_F(SiteSecrets, PasswordsLiveInTheStoreAndAreAskedForWhenNeeded)
{
    if (!KeyringRuns())
        GTEST_SKIP() << "runs in test_window_secret_store, with a keyring of its own";
    StartShown();
    EXPECT_EQ(edPassword->text(), "secret");
    Stop();
    EXPECT_EQ(PasswordsInFile(), QStringList{});
    EXPECT_EQ(ReadSettings()->value("Site1.UserName").toString(), "bob");
    EXPECT_EQ(Stored(Tester()), "secret");
    EXPECT_EQ(Stored("bob@ftp.two.example"), "b-secret");

    StartShown();
    EXPECT_EQ(edPassword->text(), "");
    EXPECT_EQ(edPassword->placeholderText(), "in the keyring");
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(edPassword->text(), "secret");
    actConnect->trigger();
    edPassword->setText("changed");
    PressInAddressBox(Qt::Key_I);
    EXPECT_EQ(Stored(Tester()), "changed");
    PressInAddressBox(Qt::Key_Down, {});  // the next site
    EXPECT_EQ(edPassword->text(), "");
    Dialogs.ConfirmAnswers = {true};
    PressInAddressBox(Qt::Key_Delete, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(Stored("bob@ftp.two.example"), "<none>");
    Stop();

    StartShown();
    EXPECT_EQ(cbAddress->count(), 1);
    EXPECT_EQ(PasswordsInFile(), QStringList{});
    EXPECT_FALSE(LogEntries().join('\n').contains("secret service"));
    Stop();
    EXPECT_EQ(Stored(Tester()), "changed") << "a password never asked for in a run stays";
}

// A site renamed to another user: its secret goes along, the old one does
// not linger.
TEST_F(SiteSecrets, ASecretWhoseSiteChangedIsRemovedAtTheSave)
{
    if (!KeyringRuns())
        GTEST_SKIP() << "runs in test_window_secret_store, with a keyring of its own";
    StartShown();
    Stop();
    StartShown();
    edUserName->setText("carol");
    PressInAddressBox(Qt::Key_I);
    EXPECT_EQ(Stored(QString("carol@127.0.0.1:%1").arg(Server.Port())), "secret");
    Stop();
    EXPECT_EQ(Stored(Tester()), "<none>");
}

// The manager's changes take the secrets along: a site pointed elsewhere
// keeps its password under its new name, a site removed takes its own, a
// new site's is kept by its id, which renaming does not change.
TEST_F(SiteSecrets, TheManagersChangesTakeTheSecretsAlong)
{
    if (!KeyringRuns())
        GTEST_SKIP() << "runs in test_window_secret_store, with a keyring of its own";
    StartShown();
    Stop();  // the passwords into the keyring
    StartShown();
    Dialogs.SiteManagerAnswers.push_back([this](TSiteManagerData &data) {
        TSiteEntry moved = data.Sites[0];
        moved.Host = "localhost";
        moved.Name = "Test";
        moved.Folder = "Work";
        moved.Address = SiteFields::ComposedAddress(moved);
        TSiteEntry added;
        added.Name = "New";
        added.Host = "new.example";
        added.UserName = "nina";
        added.Password = "n-secret";
        added.Id = "abc";
        data.Sites.Clear();
        data.Sites.Append(moved);
        data.Sites.Append(added);
        data.Origins = {0, -1};
        data.Chosen = 0;
        data.Connect = true;
        return true;
    });
    Form->findChild<QAction *>("actSiteManager")->trigger();
    ASSERT_TRUE(Form->FTP.Connected()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(cbAddress->currentText(), "Work/Test");
    EXPECT_EQ(Stored(QString("tester@ftp://localhost:%1").arg(Server.Port())), "secret");
    EXPECT_EQ(Stored(Tester()), "<none>");
    EXPECT_EQ(Stored("bob@ftp.two.example"), "<none>");
    EXPECT_EQ(Stored("site abc"), "n-secret");
    EXPECT_EQ(PasswordsInFile(), QStringList{});

    // A log-on that asks each time keeps none.
    Dialogs.SiteManagerAnswers.push_back([](TSiteManagerData &data) {
        data.Sites[1].Logon = TLogonType::Ask;
        data.Sites[1].Password.clear();
        data.Origins = {0, 1};
        return true;
    });
    Form->findChild<QAction *>("actSiteManager")->trigger();
    EXPECT_EQ(Stored("site abc"), "<none>");
}

// A secret service that refuses (no keyring made, its prompt gone): the
// user is asked once whether a new password goes into the file in clear;
// "Don't save it" keeps it for this session only, said once, and those the
// file held stay there; "Keep it" writes it.
TEST_F(SiteSecrets, ARefusingServiceAsksBeforeAPasswordGoesIntoTheFile)
{
    if (Keyring() != "refusing")
        GTEST_SKIP() << "runs in test_window_secret_store_refusing, with a keyring that refuses";
    StartShown();
    for (int i = 0; i < 2; ++i) {
        PressInAddressBox(Qt::Key_A);
        QTest::keyClicks(QApplication::focusWidget(), "ftp.three.example");
        edUserName->setText("dave");
        edPassword->setText("d-secret");
        PressInAddressBox(Qt::Key_I);
    }
    EXPECT_EQ(LogEntries().filter("passwords are kept for this session only").size(), 1)
        << LogEntries().join('\n').toStdString();
    EXPECT_EQ(cbAddress->count(), 3);
    Stop();
    EXPECT_EQ(PasswordsInFile(), (QStringList{"Site0.Password", "Site1.Password"}));
    EXPECT_EQ(ReadSettings()->value("Site2.UserName").toString(), "dave");
    ASSERT_EQ(Dialogs.ChoicesAsked.size(), 1u);
    EXPECT_EQ(Dialogs.ChoicesAsked[0].Text, "Keep the password in the settings file, unencrypted?");

    StartShown();
    Dialogs.ChoiceAnswers = {{0}};
    PressInAddressBox(Qt::Key_A);
    QTest::keyClicks(QApplication::focusWidget(), "ftp.four.example");
    edPassword->setText("e-secret");
    PressInAddressBox(Qt::Key_I);
    EXPECT_EQ(LogEntries().filter("saved passwords are kept in the settings file, unencrypted").size(), 1);
    Stop();
    EXPECT_EQ(ReadSettings()->value("Site3.Password").toString(), "e-secret");
}

// No secret service: the passwords stay in the file, and nothing is lost.
TEST_F(SiteSecrets, WithoutAServiceThePasswordsStayInTheFile)
{
    if (!Keyring().empty())
        GTEST_SKIP() << "needs a session without a secret service";
    StartShown();
    Stop();
    EXPECT_EQ(PasswordsInFile(), (QStringList{"Site0.Password", "Site1.Password"}));
    StartShown();
    EXPECT_EQ(edPassword->text(), "secret");
}

}  // namespace
