// FileZilla's site lists: a list as FileZilla writes it, with every
// protocol and log-on type in nested folders, comes in field by field and
// goes out again unchanged; what cannot come in is named.
#include "FileZillaSites.h"
#include "QtPrint.h"
#include "SiteFields.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

// A site as the generated file holds it, and as it must arrive.
struct TExpected {
    TSiteEntry Site;
    int ProtocolNumber, LogonNumber;
};

const char *const OddNames[] = {"Plain", "Bäckerei Müller", "a/b slash", "<&> \"quoted\" 'apos'", "  spaced  ",
                                "Кириллица", "日本語のサイト", "emoji 🚀", "back\\slash", "tab\there"};
const char *const Folders[] = {"", "Work", "Work/Clients", "Work/Clients/Ünïcode", "Private", "Private/Old & new"};
// FileZilla's numbers and what they are here.
const std::pair<int, TSiteProtocol> Protocols[] = {{0, TSiteProtocol::Ftp},     {1, TSiteProtocol::Sftp},
                                                   {3, TSiteProtocol::FtpsTLS}, {4, TSiteProtocol::FtpesTLS},
                                                   {6, TSiteProtocol::FtpPlain}};
const std::pair<int, TLogonType> Logons[] = {{0, TLogonType::Anonymous}, {1, TLogonType::Normal},
                                             {2, TLogonType::Ask},       {3, TLogonType::Interactive},
                                             {5, TLogonType::KeyFile}};
const char *const Charsets[] = {"", "UTF-8", "ISO-8859-1", "CP1251", "Shift_JIS"};

QString Xml(const QString &text)
{
    return text.toHtmlEscaped();
}

// 50 sites, every protocol with every log-on type, in folders to depth 3.
std::vector<TExpected> Generated()
{
    std::vector<TExpected> sites;
    for (int i = 0; i < 50; ++i) {
        TExpected e{{}, Protocols[i % 5].first, Logons[(i / 5) % 5].first};
        TSiteEntry &s = e.Site;
        s.Protocol = Protocols[i % 5].second;
        s.Logon = Logons[(i / 5) % 5].second;
        s.Name = QString::fromUtf8(OddNames[i % 10]) + QStringLiteral(" %1").arg(i);
        s.Folder = SiteFields::JoinedPath(QString::fromUtf8(Folders[i % 6]).split('/', Qt::SkipEmptyParts));
        s.Host = i % 7 == 0 ? QStringLiteral("2001:db8::%1").arg(i) : QStringLiteral("host%1.example").arg(i);
        s.Port = i % 3 == 0 ? 2000 + i : 0;
        s.UserName = i % 4 == 0 ? QStringLiteral("üser %1").arg(i) : QStringLiteral("user%1").arg(i);
        s.Password = e.LogonNumber == 1 ? QStringLiteral("pässwört-%1 <&>").arg(i) : QString();
        s.KeyFile = e.LogonNumber == 5 ? QStringLiteral("/home/anna/.ssh/key %1").arg(i) : QString();
        s.Mode = TTransferMode(i % 3);
        s.Transfers = i % 4;
        s.Proxy = i % 6 == 0 ? TSiteProxy::None : TSiteProxy::Default;
        s.Charset = QString::fromLatin1(Charsets[i % 5]);
        s.DefaultFolder = i % 2 ? QStringLiteral("/srv/wëb %1/html").arg(i) : QString();
        s.LocalFolder = i % 3 ? QStringLiteral("/home/anna/Sites/%1").arg(i) : QString();
        s.Comments = i % 5 ? QStringLiteral("line one\nline two: ümlaut & <tag> %1").arg(i) : QString();
        if (i % 7 == 0)
            s.Bookmarks = {{QStringLiteral("wëb & <%1>").arg(i), "/home/anna/www", "/srv/a b/html"},
                           {"logs", "", "/var/log"}};
        sites.push_back(e);
    }
    return sites;
}

// The Server element, as FileZilla writes one.
QString ServerXml(const TExpected &e, const QString &indent)
{
    const TSiteEntry &s = e.Site;
    const int protocol = e.ProtocolNumber;
    const int defaultPort = protocol == 1 ? 22 : protocol == 3 ? 990 : 21;
    QString x = indent + "<Server>\n";
    const auto element = [&](const QString &name, const QString &text) {
        x += indent + "    <" + name + ">" + Xml(text) + "</" + name + ">\n";
    };
    element("Host", s.Host.contains(':') ? '[' + s.Host + ']' : s.Host);
    element("Port", QString::number(s.Port ? s.Port : defaultPort));
    element("Protocol", QString::number(protocol));
    element("Type", "0");
    element("User", s.UserName);
    if (!s.Password.isEmpty())
        x += indent + "    <Pass encoding=\"base64\">" + s.Password.toUtf8().toBase64() + "</Pass>\n";
    if (!s.KeyFile.isEmpty())
        element("Keyfile", s.KeyFile);
    element("Logontype", QString::number(e.LogonNumber));
    element("PasvMode", QStringList{"MODE_DEFAULT", "MODE_ACTIVE", "MODE_PASSIVE"}[int(s.Mode)]);
    element("EncodingType", s.Charset.isEmpty() ? "Auto" : s.Charset == "UTF-8" ? "UTF-8" : "Custom");
    if (!s.Charset.isEmpty() && s.Charset != "UTF-8")
        element("CustomEncoding", s.Charset);
    element("BypassProxy", s.Proxy == TSiteProxy::None ? "1" : "0");
    element("Name", s.Name);
    if (!s.Comments.isEmpty())
        element("Comments", s.Comments);
    if (!s.LocalFolder.isEmpty())
        element("LocalDir", s.LocalFolder);
    if (!s.DefaultFolder.isEmpty())
        element("RemoteDir", FileZillaSites::SegmentsFromRemoteFolder(s.DefaultFolder));
    if (s.Transfers)
        element("MaximumMultipleConnections", QString::number(s.Transfers));
    element("SyncBrowsing", "0");
    for (const TBookmark &bookmark : s.Bookmarks) {
        x += indent + "    <Bookmark>\n";
        x += indent + "        <Name>" + Xml(bookmark.Name) + "</Name>\n";
        if (!bookmark.LocalFolder.isEmpty())
            x += indent + "        <LocalDir>" + Xml(bookmark.LocalFolder) + "</LocalDir>\n";
        x += indent + "        <RemoteDir>" + FileZillaSites::SegmentsFromRemoteFolder(bookmark.RemoteFolder) +
             "</RemoteDir>\n" + indent + "    </Bookmark>\n";
    }
    return x + indent + "</Server>\n";
}

// The folders as nested elements: each folder path's sites inside it.
QByteArray GeneratedXml(const std::vector<TExpected> &sites)
{
    QString x = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
                "<FileZilla3 version=\"3.63.0\" platform=\"*nix\">\n    <Servers>\n";
    const std::function<void(const QString &, const QString &)> folder = [&](const QString &path,
                                                                              const QString &indent) {
        for (const TExpected &e : sites)
            if (e.Site.Folder == path)
                x += ServerXml(e, indent);
        for (const char *sub : Folders) {
            const QString child = SiteFields::JoinedPath(QString::fromUtf8(sub).split('/', Qt::SkipEmptyParts));
            const QStringList steps = SiteFields::PathSteps(child);
            if (!child.isEmpty() && SiteFields::JoinedPath(steps.mid(0, steps.size() - 1)) == path) {
                x += indent + "<Folder expanded=\"1\">" + Xml(steps.last()) + "\n";
                folder(child, indent + "    ");
                x += indent + "</Folder>\n";
            }
        }
    };
    folder("", "        ");
    return (x + "    </Servers>\n</FileZilla3>\n").toUtf8();
}

void ExpectSameSite(const TSiteEntry &a, const TSiteEntry &b)
{
    SCOPED_TRACE(a.Path().toStdString());
    EXPECT_EQ(a.Name, b.Name);
    EXPECT_EQ(a.Folder, b.Folder);
    EXPECT_EQ(a.Protocol, b.Protocol);
    EXPECT_EQ(a.Host, b.Host);
    EXPECT_EQ(a.Port, b.Port);
    EXPECT_EQ(a.Logon, b.Logon);
    EXPECT_EQ(a.UserName, b.UserName);
    EXPECT_EQ(a.Password, b.Password);
    EXPECT_EQ(a.KeyFile, b.KeyFile);
    EXPECT_EQ(a.Mode, b.Mode);
    EXPECT_EQ(a.Transfers, b.Transfers);
    EXPECT_EQ(a.Proxy, b.Proxy);
    EXPECT_EQ(a.Charset, b.Charset);
    EXPECT_EQ(a.DefaultFolder, b.DefaultFolder);
    EXPECT_EQ(a.LocalFolder, b.LocalFolder);
    EXPECT_EQ(a.Comments, b.Comments);
    EXPECT_EQ(a.Bookmarks, b.Bookmarks);
}

TEST(FileZillaSites, FiftySitesComeInAndGoOutFieldByField)
{
    const std::vector<TExpected> expected = Generated();
    const TSiteImport first = FileZillaSites::Read(GeneratedXml(expected));
    ASSERT_TRUE(first.Failure.isEmpty()) << first.Failure.toStdString();
    EXPECT_TRUE(first.Unmapped.isEmpty()) << first.Unmapped.join('\n').toStdString();
    ASSERT_EQ(first.Sites.Count(), 50);
    for (const TExpected &e : expected) {
        const int at = first.Sites.IndexOfPath(e.Site.Path());
        ASSERT_GE(at, 0) << e.Site.Path().toStdString();
        ExpectSameSite(first.Sites[at], e.Site);
        EXPECT_EQ(first.Sites[at].Address, SiteFields::ComposedAddress(e.Site));
    }
    // Out with the passwords, and in again: the same sites and folders.
    const TSiteImport second = FileZillaSites::Read(
        FileZillaSites::Write(first.Sites, {}, [](const TSiteEntry &site) { return site.Password; }));
    ASSERT_EQ(second.Sites.Count(), 50);
    for (int i = 0; i < 50; ++i)
        ExpectSameSite(second.Sites[second.Sites.IndexOfPath(first.Sites[i].Path())], first.Sites[i]);
    QStringList folders = first.Sites.Folders, again = second.Sites.Folders;
    folders.sort();
    again.sort();
    EXPECT_EQ(again, folders);
    // Without them, the passwords stay behind.
    const TSiteImport bare = FileZillaSites::Read(FileZillaSites::Write(first.Sites, {}));
    for (int i = 0; i < bare.Sites.Count(); ++i)
        EXPECT_TRUE(bare.Sites[i].Password.isEmpty());
}

TEST(FileZillaSites, AFolderGoesOutWithItsSubfoldersOnly)
{
    const TSiteImport all = FileZillaSites::Read(GeneratedXml(Generated()));
    const TSiteImport part = FileZillaSites::Read(FileZillaSites::Write(all.Sites, "Work/Clients"), "Brought");
    int inClients = 0;
    for (int i = 0; i < all.Sites.Count(); ++i)
        inClients += all.Sites[i].Folder.startsWith("Work/Clients") ? 1 : 0;
    ASSERT_GT(inClients, 0);
    ASSERT_EQ(part.Sites.Count(), inClients);
    for (int i = 0; i < part.Sites.Count(); ++i) {
        const QString original = "Work/Clients" + part.Sites[i].Path().mid(QStringLiteral("Brought").size());
        EXPECT_GE(all.Sites.IndexOfPath(original), 0) << part.Sites[i].Path().toStdString();
    }
}

TEST(FileZillaSites, TheSampleListArrivesAsFileZillaMeantIt)
{
    const TSiteImport import = FileZillaSites::ReadFile(VELDRA_TEST_SUPPORT_DIR "/filezilla-sitemanager.xml");
    ASSERT_TRUE(import.Failure.isEmpty());
    ASSERT_EQ(import.Sites.Count(), 5);
    const TSiteEntry &web = import.Sites[import.Sites.IndexOfPath("Kunden & Co/Bäckerei Web")];
    EXPECT_EQ(web.Protocol, TSiteProtocol::FtpesTLS);
    EXPECT_EQ(web.Password, "sekrit-päss");
    EXPECT_EQ(web.DefaultFolder, "/www/html");
    EXPECT_EQ(web.Mode, TTransferMode::Passive);
    const TSiteEntry &archive = import.Sites[import.Sites.IndexOfPath("Kunden & Co/Archiv/Old archive (implicit TLS)")];
    EXPECT_EQ(archive.Logon, TLogonType::Ask);
    EXPECT_EQ(archive.Charset, "ISO-8859-1");
    EXPECT_EQ(archive.Port, 0);  // 990 is implicit TLS's own
    const TSiteEntry &mirror = import.Sites[import.Sites.IndexOfPath("Mirror (plain FTP, IPv6)")];
    EXPECT_EQ(mirror.Host, "2001:db8::21");
    EXPECT_EQ(mirror.Address, "ftp://[2001:db8::21]");
    EXPECT_EQ(mirror.Transfers, 1);
    // The deploy box goes to its server with no proxy, as it did there.
    EXPECT_TRUE(import.Unmapped.isEmpty()) << import.Unmapped.join('\n').toStdString();
    EXPECT_EQ(import.Sites[import.Sites.IndexOfPath("Deploy box (SFTP, key)")].Proxy, TSiteProxy::None);
    EXPECT_EQ(web.Proxy, TSiteProxy::Default);
}

TEST(FileZillaSites, WhatCannotComeInIsNamedAndTheRestArrives)
{
    const QByteArray xml = R"(<?xml version="1.0"?><FileZilla3><Servers>
        <Server><Host>w.example</Host><Protocol>2</Protocol><Name>Web</Name></Server>
        <Server><Host>s3.example</Host><Protocol>7</Protocol><Name>Bucket</Name></Server>
        <Server><Host>a.example</Host><Protocol>0</Protocol><Logontype>4</Logontype><User>u</User>
                <Pass encoding="base64">cA==</Pass><Account>acc</Account><Name>Account</Name></Server>
        <Server><Host>c.example</Host><Protocol>0</Protocol><Logontype>1</Logontype>
                <Pass encoding="crypt" pubkey="x">zzz</Pass><Name>Locked</Name></Server>
        <Server><Host>ok.example</Host><Protocol>6</Protocol><Name>Fine</Name></Server>
        <Folder>Empty folder</Folder>
    </Servers></FileZilla3>)";
    const TSiteImport import = FileZillaSites::Read(xml);
    ASSERT_EQ(import.Sites.Count(), 3);
    EXPECT_EQ(import.Sites.Folders, QStringList{"Empty folder"});
    ASSERT_EQ(import.Unmapped.size(), 4);
    EXPECT_TRUE(import.Unmapped[0].contains("HTTP is not a protocol"));
    EXPECT_TRUE(import.Unmapped[1].contains("Protocol 7"));
    EXPECT_EQ(import.Sites[0].Password, "p");
    EXPECT_EQ(import.Sites[1].Logon, TLogonType::Ask);
    EXPECT_TRUE(import.Sites[1].Password.isEmpty());
}

TEST(FileZillaSites, ADamagedOrForeignFileImportsNothing)
{
    for (const char *xml : {"<FileZilla3><Servers><Server><Host>x</Host>", "<Other/>", "", "not xml at all"}) {
        const TSiteImport import = FileZillaSites::Read(xml);
        EXPECT_FALSE(import.Failure.isEmpty()) << xml;
        EXPECT_EQ(import.Sites.Count(), 0) << xml;
    }
    EXPECT_TRUE(FileZillaSites::ReadFile("/nonexistent/sitemanager.xml").Failure.contains("Cannot read"));
}

TEST(FileZillaSites, RemoteFoldersInSegments)
{
    const std::pair<const char *, const char *> cases[] = {
        {"1 0 3 www 4 html", "/www/html"}, {"1 0", "/"}, {"1 0 9 two words 1 x", "/two words/x"},
        {"1 0 6 ümlaut", "/ümlaut"},       {"", ""},     {"1 0 20 short", ""},
    };
    for (const auto &[segments, folder] : cases)
        EXPECT_EQ(FileZillaSites::RemoteFolderFromSegments(QString::fromUtf8(segments)), QString::fromUtf8(folder))
            << segments;
}

}  // namespace
