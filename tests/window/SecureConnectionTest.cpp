// Secure connections from the window: an ftpes:// address to a vsftpd that
// refuses anything in clear, the certificate question and what the user
// answers, kept across sessions; and the passive mode the user picks.
#include "FormFixture.h"

#include "TlsServers.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QRegularExpression>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class SecureConnection : public FormFixture {
protected:
    void SetUp() override
    {
        if (const std::string why = TlsServer::Unavailable(TlsServer::VsftpdExplicit); !why.empty())
            GTEST_SKIP() << why;
        FormFixture::SetUp();
        fs::create_directories(Files.Path() / "root" / "pub");
        for (int i = 0; i < 300000; ++i)
            Payload += char(i * 7 + i / 251);
        std::ofstream(Files.Path() / "root" / "pub" / "data.bin", std::ios::binary) << Payload;
        Server = std::make_unique<TlsServer>(TlsServer::VsftpdExplicit, Certificate, Files.Path() / "root");
        Address = QString("ftpes://127.0.0.1:%1").arg(Server->Port());
        WriteIni(QString("[GENERAL]\nSites=1\n[SITES]\nSite0.Address=%1\nSite0.UserName=%2\n"
                         "Site0.Password=%3\nSite0.DefaultFolder=pub\n")
                     .arg(Address, QString::fromStdString(Server->User()), QString::fromStdString(Server->Password()))
                     .toStdString());
    }

    void StartShown()
    {
        Start();
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }

    // Downloads data.bin from the listing and says whether it came whole.
    bool DownloadsWhole()
    {
        const int row = int(FormFixture::Files().indexOf("data.bin"));
        if (row < 0)
            return false;
        lvFiles->setCurrentIndex(lvFiles->model()->index(row, 0));
        const fs::path local = Files.Path() / "down.bin";
        fs::remove(local);
        Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(local.string())});
        actDownloadAs->trigger();
        WaitForTransfers();
        return Contents(local) == Payload;
    }

    TempDir Files;
    std::string Payload;
    TlsCertificate Certificate{"127.0.0.1"};
    std::unique_ptr<TlsServer> Server;
    QString Address;
};

// Shown once with all a user needs to decide; trusted always, it is not
// asked again, in this session or the next.
TEST_F(SecureConnection, ACertificateTrustedAlwaysIsAskedForOnce)
{
    StartShown();
    Dialogs.CertificateAnswers = {TCertificateAnswer::TrustAlways};
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    ASSERT_EQ(Dialogs.CertificatesShown.size(), 1u);
    const TCertificateQuestion &shown = Dialogs.CertificatesShown[0];
    EXPECT_EQ(shown.Server, QString("127.0.0.1:%1").arg(Server->Port()));
    EXPECT_EQ(shown.Subject, "CN=127.0.0.1");
    EXPECT_EQ(shown.Problem, "self-signed certificate");
    EXPECT_EQ(shown.Fingerprint.toStdString(), Certificate.Fingerprint);
    EXPECT_FALSE(shown.NotAfter.isEmpty());
    EXPECT_TRUE(shown.TrustedFingerprint.isEmpty());
    EXPECT_FALSE(LogEntries().filter(QRegularExpression("^Encrypted with TLSv1\\.[23], ")).isEmpty());
    EXPECT_FALSE(LogOfContains("The connection is not encrypted."));
    EXPECT_TRUE(LogOfContains("Sent: PROT P"));
    EXPECT_TRUE(DownloadsWhole());

    actConnect->trigger();  // disconnects
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    Stop();
    StartShown();
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    EXPECT_EQ(Dialogs.CertificatesShown.size(), 1u);
    EXPECT_TRUE(DownloadsWhole());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
}

// Trusted once, or refused: nothing is kept; a refusal ends the connect
// before the password is sent, and is said in the log (the user chose it:
// no box).
TEST_F(SecureConnection, TrustOnceAndCancelKeepNothing)
{
    StartShown();
    Dialogs.CertificateAnswers = {TCertificateAnswer::TrustOnce, TCertificateAnswer::Cancel};
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    actConnect->trigger();
    actConnect->trigger();
    EXPECT_FALSE(Form->FTP.Connected());
    EXPECT_EQ(Dialogs.CertificatesShown.size(), 2u);
    EXPECT_TRUE(LogOfContains("The server's certificate was not accepted: self-signed certificate."));
    EXPECT_TRUE(LogEntries().filter(QRegularExpression("^Sent: (USER|PASS)", QRegularExpression::CaseInsensitiveOption))
                    .isEmpty());
    EXPECT_TRUE(Dialogs.Errors.isEmpty());
    Stop();
    EXPECT_TRUE(ReadSettings()->childGroups().filter("Certificates").isEmpty());
}

// A certificate other than the one trusted is a warning that names both,
// and the connection does not go ahead unless the user accepts again.
TEST_F(SecureConnection, AChangedCertificateIsAskedForAgain)
{
    const QString server = QString("127.0.0.1:%1").arg(Server->Port());
    const QString pinned = "AA:BB:CC";
    StartShown();
    Stop();
    ReadSettings()->setValue("Certificates/" + server, pinned);
    StartShown();
    actConnect->trigger();
    EXPECT_FALSE(Form->FTP.Connected());
    ASSERT_EQ(Dialogs.CertificatesShown.size(), 1u);
    EXPECT_EQ(Dialogs.CertificatesShown[0].TrustedFingerprint, pinned);
    EXPECT_EQ(Dialogs.CertificatesShown[0].Fingerprint.toStdString(), Certificate.Fingerprint);

    Dialogs.CertificateAnswers = {TCertificateAnswer::TrustAlways};
    actConnect->trigger();
    EXPECT_TRUE(Form->FTP.Connected());
    Stop();
    EXPECT_EQ(ReadSettings()->value("Certificates/" + server).toString().toStdString(), Certificate.Fingerprint);
}

// A cancelled download does not spoil the TLS session that the next data
// connection must resume (this vsftpd refuses any other with a 522): the
// next queued download on that connection comes whole, three times over.
TEST_F(SecureConnection, TheDownloadAfterACancelledOneComesWhole)
{
    {
        std::ofstream big(Files.Path() / "root" / "pub" / "big.bin", std::ios::binary);
        const std::string block(1 << 20, 'b');
        for (int i = 0; i < 256; ++i)
            big << block;
    }
    StartShown();
    Dialogs.CertificateAnswers = {TCertificateAnswer::TrustOnce};
    actConnect->trigger();
    ASSERT_TRUE(Form->FTP.Connected());
    Form->Runner().SetSimultaneous(1);
    // Slow enough that the cancel comes before the end, on any machine.
    TTransferRunner::TOptions options = Form->Runner().Options();
    options.DownloadLimit = 20'000;
    Form->Runner().SetOptions(options);
    const auto &items = Form->Runner().Queue().Items();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        const fs::path big = Files.Path() / ("big" + std::to_string(round) + ".bin");
        lvFiles->setCurrentIndex(lvFiles->model()->index(int(FormFixture::Files().indexOf("big.bin")), 0));
        Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(big.string())});
        actDownloadAs->trigger();
        const size_t cancelled = items.size() - 1;
        ASSERT_TRUE(QTest::qWaitFor([&] { return items.at(cancelled).Done > 0; }, 20000));
        Form->Runner().Cancel({items.at(cancelled).Id});
        const fs::path next = Files.Path() / ("data" + std::to_string(round) + ".bin");
        Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(next.string())});
        lvFiles->setCurrentIndex(lvFiles->model()->index(int(FormFixture::Files().indexOf("data.bin")), 0));
        actDownloadAs->trigger();
        WaitForTransfers();
        EXPECT_EQ(items.at(cancelled).State, TTransferState::Cancelled);
        EXPECT_EQ(items.back().State, TTransferState::Done) << items.back().Reason.toStdString();
        EXPECT_TRUE(Contents(next) == Payload);
    }
    EXPECT_TRUE(Dialogs.Errors.isEmpty()) << Dialogs.Errors.join('\n').toStdString();
}

// The names a listing shows are the bytes the transfers' connections ask
// for: they ask for UTF-8 names as the window's connection did.
class NamesCharset : public ConnectedForm {};

TEST_F(NamesCharset, TransfersAskForTheNamesTheWindowsConnectionHas)
{
    EXPECT_FALSE(LogEntries().filter(QRegularExpression("^Sent: OPTS UTF8 ON")).isEmpty());
    EXPECT_EQ(Form->Runner().Session().Charset, "UTF-8");
}

// The user's data-connection mode: passive by default, active when
// chosen, for the next transfer already, and kept for the next start.
class PassiveModeChoice : public ConnectedForm {};

TEST_F(PassiveModeChoice, IsUsedAtOnceAndKept)
{
    QAction *passive = Form->findChild<QAction *>("PassiveMode1");
    ASSERT_TRUE(passive);
    EXPECT_TRUE(passive->isChecked());
    EXPECT_TRUE(LogEntries().filter(QRegularExpression("^Sent: (PORT|EPRT) ")).isEmpty());
    EXPECT_FALSE(LogEntries().filter(QRegularExpression("^Sent: (PASV|EPSV)")).isEmpty());

    passive->trigger();  // to active
    EXPECT_FALSE(Form->Runner().Session().Passive);  // the transfers' connection
    SelectFiles({"notes.txt"});
    const TempDir local;
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(local.File("notes.txt"))});
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(local.File("notes.txt")), "n");
    ASSERT_TRUE(Form->RemoteView().RefreshIfFree());  // and the browsing one
    EXPECT_FALSE(LogEntries().filter(QRegularExpression("^Sent: (PORT|EPRT) ")).isEmpty());

    Stop();
    Start();
    EXPECT_FALSE(Form->findChild<QAction *>("PassiveMode1")->isChecked());
}

}  // namespace
