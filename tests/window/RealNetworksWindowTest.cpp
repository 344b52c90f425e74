// The window on the networks users have: a server at an IPv6 address,
// typed in brackets into the address box, is browsed and a folder comes
// down from it over IPv6, each file proven whole by the server's hash.
#include "FormFixture.h"

#include "AppSettings.h"
#include "ConnectionWorkflow.h"
#include "TlsServers.h"
#include "TransferRunner.h"
#include "SiteFields.h"
#include "SiteManager.h"
#include "Transfers.h"
#include "UserDialogs.h"

#include <QTreeWidget>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QScopeGuard>
#include <QTest>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class RealNetworks : public FormFixture {
protected:
    void SetUp() override
    {
        FormFixture::SetUp();
        WriteIni("[GENERAL]\nSites=0\n");
        Start();
        Form->show();
        Form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }

    // A field chosen by a click, its text typed over.
    static void TypeInto(QWidget *field, const QString &text)
    {
        QTest::mouseClick(field, Qt::LeftButton, {}, QPoint(10, field->height() / 2));
        QWidget *focus = QApplication::focusWidget();
        ASSERT_TRUE(focus);
        QTest::keyClick(focus, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(focus, Qt::Key_Backspace);
        QTest::keyClicks(focus, text);
    }
};

TEST_F(RealNetworks, AnIPv6ServerIsBrowsedAndAFolderComesDownProvenWhole)
{
    FtpServer server("::1");
    const fs::path root = server.Root().Path();
    fs::create_directories(root / "pub" / "site" / "css");
    std::string bytes(200000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 31 % 253);
    std::ofstream(root / "pub" / "site" / "index.html") << "<html>";
    std::ofstream(root / "pub" / "site" / "css" / "big.bin", std::ios::binary) << bytes;
    std::ofstream(root / ".hash") << "";

    TypeInto(cbAddress, QString("[::1]:%1").arg(server.Port()));
    TypeInto(edUserName, FtpServer::User);
    TypeInto(edPassword, FtpServer::Password);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(Form->FTP.Connected());
    EXPECT_TRUE(LogOfContains("Connecting to ::1."));
    TypeInto(edCurrentDir, "/pub");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(Folders(), (QStringList{"..", "site"}));

    const TempDir local;
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {},
                      tvFolders->visualItemRect(tvFolders->findItems("site", Qt::MatchExactly).front()).center());
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(local.Path().string())});
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_EQ(Contents(local.Path() / "site" / "index.html"), "<html>");
    EXPECT_TRUE(Contents(local.Path() / "site" / "css" / "big.bin") == bytes);
    int verified = 0;
    for (const TTransferItem &item : Form->Runner().Queue().Items()) {
        EXPECT_EQ(item.State, TTransferState::Done) << item.Reason.toStdString();
        verified += item.Verified == "SHA-256";
    }
    EXPECT_EQ(verified, 2);  // the files; the folders have no digest
}

// As an office user has it: the HTTP proxy set in Settings, a server at
// an IPv6 address over TLS (proftpd, which hashes files), a folder down
// through the tunnel byte for byte and shown verified; the proxy is kept
// for the next start.
TEST_F(RealNetworks, ThroughAnHttpProxyATlsServerOnIPv6GivesAVerifiedFolder)
{
    if (const std::string why = TlsServer::Unavailable(TlsServer::Proftpd); !why.empty())
        GTEST_SKIP() << why;
    TempDir files;
    const fs::path root = files.Path() / "root";
    fs::create_directories(root / "pub" / "site");
    std::string bytes(300000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = char(i * 17 % 251);
    std::ofstream(root / "pub" / "site" / "data.bin", std::ios::binary) << bytes;
    std::ofstream(root / "pub" / "site" / "note.txt") << "note";
    const TlsCertificate certificate("127.0.0.1");
    const TlsServer server(TlsServer::Proftpd, certificate, root, true);
    const auto proxy = SocksProxy::Tinyproxy("office", "pass");

    Dialogs.SettingsAnswers.push_back([&proxy](TAppSettings &settings) {
        settings.Proxy.Version = svHttpConnect;
        settings.Proxy.Host = "127.0.0.1";
        settings.Proxy.Port = proxy->Port();
        settings.Proxy.UserID = "office";
        settings.Proxy.Password = "pass";
    });
    Form->findChild<QAction *>("actSettings")->trigger();
    TypeInto(cbAddress, QString("ftpes://[::1]:%1/").arg(server.Port()));
    TypeInto(edUserName, QString::fromStdString(server.User()));
    TypeInto(edPassword, QString::fromStdString(server.Password()));
    Dialogs.CertificateAnswers = {TCertificateAnswer::TrustOnce};
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    ASSERT_TRUE(Form->FTP.Connected()) << LogEntries().join('\n').toStdString();
    EXPECT_EQ(Form->FTP.SocksInfo.Version, svHttpConnect);
    TypeInto(edCurrentDir, "/pub");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    QTest::mouseClick(tvFolders->viewport(), Qt::LeftButton, {},
                      tvFolders->visualItemRect(tvFolders->findItems("site", Qt::MatchExactly).front()).center());
    const TempDir local;
    Dialogs.FileAnswers.push_back(QStringList{QString::fromStdString(local.Path().string())});
    actDownloadAs->trigger();
    WaitForTransfers();
    EXPECT_TRUE(Contents(local.Path() / "site" / "data.bin") == bytes);
    EXPECT_EQ(Contents(local.Path() / "site" / "note.txt"), "note");
    QStringList states;
    for (const TTransferItem &item : Form->Runner().Queue().Items())
        if (!item.Folder)
            states << TransferStateText(item);
    EXPECT_EQ(states, (QStringList{"Verified (SHA-256)", "Verified (SHA-256)"}));

    Stop();
    Start();
    EXPECT_EQ(Form->Connection().Proxy().Version, svHttpConnect);
    EXPECT_EQ(Form->Connection().Proxy().Port, proxy->Port());
}

// "The system's proxy" is whatever the environment names for the server:
// the tunnel while http_proxy is set, the way straight where no_proxy
// names the host; the transfers go the same way.
TEST_F(RealNetworks, TheSystemsProxyIsTheEnvironmentsForEachServer)
{
    FtpServer server;
    std::ofstream(server.Root().File("seen.txt")) << "x";
    const auto proxy = SocksProxy::Tinyproxy();
    ::setenv("http_proxy", ("http://127.0.0.1:" + std::to_string(proxy->Port())).c_str(), 1);
    const auto restore = qScopeGuard([] {
        ::unsetenv("http_proxy");
        ::unsetenv("no_proxy");
    });
    Dialogs.SettingsAnswers.push_back([](TAppSettings &settings) { settings.Proxy.Version = svSystemProxy; });
    Form->findChild<QAction *>("actSettings")->trigger();
    for (const bool bypassed : {false, true}) {
        SCOPED_TRACE(bypassed ? "no_proxy" : "http_proxy");
        if (bypassed)
            ::setenv("no_proxy", "localhost,127.0.0.1", 1);
        TypeInto(cbAddress, QString("127.0.0.1:%1").arg(server.Port()));
        TypeInto(edUserName, FtpServer::User);
        TypeInto(edPassword, FtpServer::Password);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        ASSERT_TRUE(Form->FTP.Connected());
        EXPECT_EQ(Form->FTP.SocksInfo.Version, bypassed ? svNoSocks : svHttpConnect);
        EXPECT_EQ(Form->Runner().Session().Proxy.Version, bypassed ? svNoSocks : svHttpConnect);
        EXPECT_TRUE(Files().contains("seen.txt"));
        actConnect->trigger();  // off again
        ASSERT_FALSE(Form->FTP.Connected());
    }
    EXPECT_EQ(Form->Connection().Proxy().Version, svSystemProxy);  // the choice, kept
}

// A site's own proxy choice wins over the settings': a site behind
// tinyproxy goes through it while the settings name none, and a site with
// "No proxy" goes straight while the settings name one that is not there.
TEST_F(RealNetworks, ASiteGoesByItsOwnProxy)
{
    FtpServer server;
    std::ofstream(server.Root().File("seen.txt")) << "x";
    const auto proxy = SocksProxy::Tinyproxy("office", "pass");
    Dialogs.SettingsAnswers.push_back([](TAppSettings &settings) {
        settings.Proxy.Version = svSocks5;
        settings.Proxy.Host = "127.0.0.1";
        settings.Proxy.Port = FreeLoopbackPort();  // nothing listens there
    });
    Form->findChild<QAction *>("actSettings")->trigger();
    for (const TSiteProxy kind : {TSiteProxy::Http, TSiteProxy::None}) {
        SCOPED_TRACE(SiteFields::ProxyKey(kind).toStdString());
        Dialogs.SiteManagerAnswers.push_back([&](TSiteManagerData &data) {
            TSiteEntry site;
            site.Name = "files";
            site.Host = "127.0.0.1";
            site.Port = server.Port();
            site.UserName = FtpServer::User;
            site.Password = FtpServer::Password;
            site.Proxy = kind;
            site.ProxyHost = "127.0.0.1";
            site.ProxyPort = proxy->Port();
            site.ProxyUser = "office";
            site.ProxyPassword = "pass";
            site.Address = SiteFields::ComposedAddress(site);
            data.Sites = {};
            data.Sites.Append(site);
            data.Origins = {-1};
            data.Chosen = 0;
            data.Connect = true;
            return true;
        });
        Form->findChild<QAction *>("actSiteManager")->trigger();
        ASSERT_TRUE(Form->FTP.Connected()) << LogEntries().join('\n').toStdString();
        const TSocksVersion expected = kind == TSiteProxy::Http ? svHttpConnect : svNoSocks;
        EXPECT_EQ(Form->FTP.SocksInfo.Version, expected);
        EXPECT_EQ(Form->Runner().Session().Proxy.Version, expected);
        EXPECT_TRUE(Files().contains("seen.txt"));
        actConnect->trigger();  // off again
        ASSERT_FALSE(Form->FTP.Connected());
    }
}

}  // namespace
