// The sites in the settings store: every field of the manager's kept, and
// the settings of an earlier version read as they were, at the top.
#include "QtPrint.h"
#include "SettingsStore.h"
#include "SiteFields.h"
#include "SiteList.h"
#include "SiteSession.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

#include <gtest/gtest.h>

namespace {

class SiteList : public ::testing::Test {
protected:
    void SetUp() override { QFile::remove(TSettingsStore::FileName()); }
    void TearDown() override { QFile::remove(TSettingsStore::FileName()); }

    static TSiteList ReadBack()
    {
        TSiteList sites;
        sites.ReadFromStore(*TSettingsStore::OpenForReading());
        return sites;
    }
};

TEST_F(SiteList, EveryFieldAndEveryFolderIsKept)
{
    TSiteList sites;
    TSiteEntry full;
    full.Address = "sftp://files.example.org:2222";
    full.UserName = "deploy";
    full.Password = "pw";
    full.DefaultFolder = "/srv/app";
    full.Name = "Deploy a/b";
    full.Folder = "Work/Clients";
    full.Protocol = TSiteProtocol::Sftp;
    full.Host = "files.example.org";
    full.Port = 2222;
    full.Logon = TLogonType::KeyFile;
    full.KeyFile = "/home/anna/.ssh/id_ed25519";
    full.Mode = TTransferMode::Active;
    full.Transfers = 3;
    full.Charset = "Shift_JIS";
    full.LocalFolder = "/home/anna/Deploy";
    full.Comments = "two\nlines";
    full.Proxy = TSiteProxy::Http;
    full.ProxyHost = "proxy.office";
    full.ProxyPort = 3128;
    full.ProxyUser = "anna";
    full.ProxyPassword = "pp";
    full.Id = "4f1c";
    full.Bookmarks = {{"Scripts \"one\"", "/home/anna/x", "/cgi-bin"}, {"Root", "", "/"}};
    sites.Append(full);
    TSiteEntry old;
    old.Address = "ftp.example.net";
    SiteFields::FillFromAddress(old);
    sites.Append(old);
    sites.Folders = {"Work", "Work/Clients", "Empty"};
    {
        const auto store = TSettingsStore::OpenForWriting();
        sites.WriteToStore(*store);
        store->Close();
    }
    const TSiteList read = ReadBack();
    ASSERT_EQ(read.Count(), 2);
    const TSiteEntry &got = read[0];
    EXPECT_EQ(got.Path(), "Work/Clients/Deploy a/b");
    EXPECT_EQ(read.IndexOfPath("Work/Clients/Deploy a/b"), 0);
    EXPECT_EQ(std::tuple(got.Address, got.UserName, got.Password, got.DefaultFolder, got.Protocol, got.Host, got.Port),
              std::tuple(full.Address, full.UserName, full.Password, full.DefaultFolder, full.Protocol, full.Host,
                         full.Port));
    EXPECT_EQ(std::tuple(got.Logon, got.KeyFile, got.Mode, got.Transfers, got.Charset, got.LocalFolder, got.Comments,
                         got.Id),
              std::tuple(full.Logon, full.KeyFile, full.Mode, full.Transfers, full.Charset, full.LocalFolder,
                         full.Comments, full.Id));
    EXPECT_EQ(got.Bookmarks, full.Bookmarks);
    EXPECT_EQ(std::tuple(got.Proxy, got.ProxyHost, got.ProxyPort, got.ProxyUser, got.ProxyPassword),
              std::tuple(full.Proxy, full.ProxyHost, full.ProxyPort, full.ProxyUser, full.ProxyPassword));
    EXPECT_EQ(read[1].Proxy, TSiteProxy::Default);
    EXPECT_EQ(read.Folders, sites.Folders);
    EXPECT_EQ(read[1].Path(), "ftp.example.net");

    // One site and no folder fewer: nothing of theirs stays behind.
    sites.Remove(0);
    sites.Folders.clear();
    {
        const auto store = TSettingsStore::OpenForWriting();
        sites.WriteToStore(*store);
        store->Close();
    }
    const auto store = TSettingsStore::OpenForReading();
    EXPECT_FALSE(store->ValueExists(TSiteList::ValueName(1, "KeyFile")));
    EXPECT_FALSE(store->ValueExists(TSiteList::ValueName(1, "ProxyPassword")));
    EXPECT_FALSE(store->ValueExists("SiteFolder0"));
    EXPECT_EQ(ReadBack().Count(), 1);
}

TEST_F(SiteList, AnEarlierVersionsSitesLoadAtTheTopByTheirAddress)
{
    {
        QDir().mkpath(QFileInfo(TSettingsStore::FileName()).path());
        QFile file(TSettingsStore::FileName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\nSites=3\nPasswordsInStoreMarked=1\n"
                   "Site0.Address=ftpes://secure.example:2121\nSite0.UserName=ann\nSite0.Password=pw\n"
                   "Site0.DefaultFolder=/pub\n"
                   "Site1.Address=sftp://[::1]:2222\nSite1.UserName=bob\nSite1.PasswordInStore=1\n"
                   "Site2.Address=plain.example\nSite2.UserName=anonymous\n");
    }
    const TSiteList sites = ReadBack();
    ASSERT_EQ(sites.Count(), 3);
    const struct {
        const char *Path, *Host;
        TSiteProtocol Protocol;
        int Port;
    } expected[] = {{"ftpes://secure.example:2121", "secure.example", TSiteProtocol::FtpesTLS, 2121},
                    {"sftp://[::1]:2222", "::1", TSiteProtocol::Sftp, 2222},
                    {"plain.example", "plain.example", TSiteProtocol::FtpPlain, 0}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sites[i].Path(), expected[i].Path);
        EXPECT_TRUE(sites[i].Folder.isEmpty());
        EXPECT_EQ(sites[i].Host, expected[i].Host);
        EXPECT_EQ(sites[i].Protocol, expected[i].Protocol);
        EXPECT_EQ(sites[i].Port, expected[i].Port);
        EXPECT_EQ(sites[i].Logon, TLogonType::Normal);
        EXPECT_TRUE(sites[i].Id.isEmpty());  // its password keeps its name in the store
    }
    EXPECT_EQ(sites[0].Password, "pw");
    EXPECT_EQ(sites[0].DefaultFolder, "/pub");
    EXPECT_TRUE(sites[1].PasswordInStore);
}

TEST_F(SiteList, PathsAndFreeNames)
{
    const std::pair<QString, QStringList> paths[] = {
        {"", {}}, {"a", {"a"}}, {"a/b", {"a", "b"}}, {"a\\/b/c", {"a/b", "c"}}, {"x\\\\/y", {"x\\", "y"}}};
    for (const auto &[path, steps] : paths) {
        EXPECT_EQ(SiteFields::PathSteps(path), steps) << path.toStdString();
        EXPECT_EQ(SiteFields::JoinedPath(steps), path) << path.toStdString();
    }
    TSiteList sites;
    for (const char *name : {"New site", "New site (2)"}) {
        TSiteEntry site;
        site.Name = name;
        site.Folder = "Work";
        sites.Append(site);
    }
    EXPECT_EQ(sites.FreeName("Work", "New site"), "New site (3)");
    EXPECT_EQ(sites.FreeName("", "New site"), "New site");
}

// A site's proxy takes the settings' place: none at all, one of its own
// (a password only where the kind takes one), or the environment's for
// its host; "as in Settings" leaves the settings' one.
TEST(SiteSession, ASitesProxyTakesTheSettingsPlace)
{
    ::setenv("http_proxy", "http://env.proxy:3128", 1);
    const auto restore = qScopeGuard([] { ::unsetenv("http_proxy"); });
    const struct {
        TSiteProxy Kind;
        TSocksVersion Version;
        std::string Host, Password;
        int Port;
        TSocksAuthentication Authentication;
    } cases[] = {
        {TSiteProxy::Default, svSocks5, "settings.proxy", "sp", 1080, saUsernamePassword},
        {TSiteProxy::None, svNoSocks, "", "", 0, saNoAuthentication},
        {TSiteProxy::Http, svHttpConnect, "own.proxy", "pp", 8080, saUsernamePassword},
        {TSiteProxy::Socks4, svSocks4, "own.proxy", "", 8080, saNoAuthentication},
        {TSiteProxy::System, svHttpConnect, "env.proxy", "", 3128, saNoAuthentication},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(SiteFields::ProxyKey(c.Kind).toStdString());
        TSiteEntry site;
        site.Proxy = c.Kind;
        site.ProxyHost = "own.proxy";
        site.ProxyPort = 8080;
        site.ProxyUser = "anna";
        site.ProxyPassword = "pp";
        TSessionSettings session;
        session.Host = "files.example";
        session.Proxy = {saUsernamePassword, "settings.proxy", "sp", 1080, "ann", svSocks5};
        ApplySite(site, session);
        EXPECT_EQ(std::tuple(session.Proxy.Version, session.Proxy.Host, session.Proxy.Password, session.Proxy.Port,
                             session.Proxy.Authentication),
                  std::tuple(c.Version, c.Host, c.Password, c.Port, c.Authentication));
    }
}

}  // namespace
