// The sites' passwords in the desktop's secret store: a real gnome-keyring
// in the test's own D-Bus session (test_window_secret_store runs these under
// with_keyring.sh), and the settings file when there is none.
#include "FormFixture.h"

#include "SecretStore.h"

#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <cstdlib>

namespace {

bool KeyringRuns()
{
    return std::getenv("VELDRA_TEST_KEYRING") != nullptr;
}

class SiteSecrets : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        // An older version's file, passwords and all.
        WriteIni("[GENERAL]\nSites=2\n[SITES]\n"
                 "Site0.Address=ftp.one.example\nSite0.UserName=alice\nSite0.Password=a-secret\n"
                 "Site1.Address=ftp.two.example\nSite1.UserName=bob\nSite1.Password=b-secret\n");
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
};

// Moved from the file at the first save, read back at the next start; a
// site changed or removed in the bar takes its secret along at once.
TEST_F(SiteSecrets, PasswordsLiveInTheStoreAndGoWithTheirSite)
{
    if (!KeyringRuns())
        GTEST_SKIP() << "runs in test_window_secret_store, with a keyring of its own";
    StartShown();
    EXPECT_EQ(edPassword->text(), "a-secret");
    Stop();
    EXPECT_EQ(PasswordsInFile(), QStringList{});
    EXPECT_EQ(ReadSettings()->value("Site1.UserName").toString(), "bob");
    EXPECT_EQ(Stored("alice@ftp.one.example"), "a-secret");
    EXPECT_EQ(Stored("bob@ftp.two.example"), "b-secret");

    StartShown();
    EXPECT_EQ(edPassword->text(), "a-secret");
    edPassword->setText("changed");
    PressInAddressBox(Qt::Key_I);
    EXPECT_EQ(Stored("alice@ftp.one.example"), "changed");
    PressInAddressBox(Qt::Key_Down, {});  // the next site
    EXPECT_EQ(edPassword->text(), "b-secret");
    PressInAddressBox(Qt::Key_D);
    EXPECT_EQ(Stored("bob@ftp.two.example"), "<none>");
    Stop();

    StartShown();
    EXPECT_EQ(cbAddress->count(), 1);
    EXPECT_EQ(edPassword->text(), "changed");
    EXPECT_EQ(PasswordsInFile(), QStringList{});
    EXPECT_FALSE(LogEntries().join('\n').contains("secret service"));
}

// A site renamed to another user: the old secret does not linger.
TEST_F(SiteSecrets, ASecretWhoseSiteChangedIsRemovedAtTheSave)
{
    if (!KeyringRuns())
        GTEST_SKIP() << "runs in test_window_secret_store, with a keyring of its own";
    StartShown();
    edUserName->setText("carol");
    PressInAddressBox(Qt::Key_I);
    EXPECT_EQ(Stored("carol@ftp.one.example"), "a-secret");
    Stop();
    EXPECT_EQ(Stored("alice@ftp.one.example"), "<none>");
}

// No secret service: the passwords stay in the file, and nothing is lost.
TEST_F(SiteSecrets, WithoutAServiceThePasswordsStayInTheFile)
{
    if (KeyringRuns())
        GTEST_SKIP() << "needs a session without a secret service";
    StartShown();
    Stop();
    EXPECT_EQ(PasswordsInFile(), (QStringList{"Site0.Password", "Site1.Password"}));
    StartShown();
    EXPECT_EQ(edPassword->text(), "a-secret");
}

}  // namespace
