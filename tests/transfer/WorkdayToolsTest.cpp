// The working-day tools' rules, whatever the protocol: the folder
// comparison, permission bits and their change below a folder, a remote
// item's address, times kept across transfers, the speed limit's stream,
// and the keep-alive; over the server in memory.
#include "BrowsingSession.h"
#include "FileTimes.h"
#include "FolderComparison.h"
#include "IdGlobal.h"
#include "KeepAlive.h"
#include "LineEnds.h"
#include "MemorySession.h"
#include "NameFilters.h"
#include "NewsRecord.h"
#include "Permissions.h"
#include "Protocols.h"
#include "RemoteSearch.h"
#include "SessionSettings.h"
#include "SpeedLimit.h"
#include "TempDir.h"
#include "TransferRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <fstream>

namespace {

TCompareEntry File(const std::string &name, int64_t size, const std::string &time, int precision = 1)
{
    TCompareEntry entry;
    entry.Name = entry.Key = name;
    entry.Size = size;
    entry.Seconds = time.empty() ? -1 : SecondsOfTimeText(time);
    entry.Precision = precision;
    return entry;
}

TEST(FolderComparison, MarksEachSideByNameSizeAndTimeToTheCoarserPrecision)
{
    struct TCase {
        const char *What;
        TCompareEntry Local, Remote;
        TCompareBy By;
        TCompared Expected;  // the local side's; the remote's mirrors it
    } cases[] = {
        {"same size, same second", File("a", 5, "20261208101530"), File("a", 5, "20261208101530"),
         TCompareBy::SizeAndTime, TCompared::Same},
        {"a local second within the server's minute", File("a", 5, "20261208101559"),
         File("a", 5, "20261208101500", 60), TCompareBy::SizeAndTime, TCompared::Same},
        {"a minute later here", File("a", 5, "20261208101600"), File("a", 5, "20261208101500", 60),
         TCompareBy::SizeAndTime, TCompared::NewerHere},
        {"a second earlier here", File("a", 5, "20261208101529"), File("a", 5, "20261208101530"),
         TCompareBy::SizeAndTime, TCompared::OlderHere},
        {"the day of an old file", File("a", 5, "20191207235959"), File("a", 5, "20191207000000", 86400),
         TCompareBy::SizeAndTime, TCompared::Same},
        {"sizes differ whatever the times", File("a", 5, "20261208101530"), File("a", 6, "20261208101530"),
         TCompareBy::SizeAndTime, TCompared::SizeDiffers},
        {"times do not count by size", File("a", 5, "20261208101530"), File("a", 5, "20201208101530"),
         TCompareBy::Size, TCompared::Same},
        {"a time unknown on one side", File("a", 5, "20261208101530"), File("a", 5, ""), TCompareBy::SizeAndTime,
         TCompared::Same},
    };
    for (const TCase &test : cases) {
        SCOPED_TRACE(test.What);
        const TFolderComparison result = CompareFolders({test.Local}, {test.Remote}, test.By);
        EXPECT_EQ(result.Local.at("a"), test.Expected);
        const TCompared mirrored = test.Expected == TCompared::NewerHere   ? TCompared::OlderHere
                                   : test.Expected == TCompared::OlderHere ? TCompared::NewerHere
                                                                           : test.Expected;
        EXPECT_EQ(result.Remote.at("a"), mirrored);
    }
    // Names only one side has, a file against a folder, and a remote name
    // matched by its local bytes.
    TCompareEntry folder = File("dir", -1, "");
    folder.IsFolder = true;
    TCompareEntry latin = File("caf\xe9", 3, "");
    latin.Key = "caf\xc3\xa9";
    const TFolderComparison result = CompareFolders({File("mine", 1, ""), File("dir", 4, ""), File("caf\xc3\xa9", 3, "")},
                                                    {File("theirs", 1, ""), folder, latin}, TCompareBy::SizeAndTime);
    EXPECT_EQ(result.Local.at("mine"), TCompared::OnlyHere);
    EXPECT_EQ(result.Remote.at("theirs"), TCompared::OnlyHere);
    EXPECT_EQ(result.Local.at("dir"), TCompared::SizeDiffers);
    EXPECT_EQ(result.Remote.at("caf\xe9"), TCompared::Same);
    // What "newer" moves: each side's only files; never a folder, nor a
    // size that differs with no time to tell the later copy.
    const TFolderComparison sizes = CompareFolders({File("a", 1, ""), File("b", 1, "20261208101530"), File("mine", 1, "")},
                                                   {File("a", 2, ""), File("b", 2, "20261208101600", 60), folder},
                                                   TCompareBy::Size);
    const auto names = [](const std::vector<TCompareEntry> &entries) {
        std::vector<std::string> list;
        for (const TCompareEntry &entry : entries)
            list.push_back(entry.Name);
        return list;
    };
    EXPECT_EQ(names(sizes.LocalNewer), std::vector<std::string>{"mine"});
    EXPECT_EQ(names(sizes.RemoteNewer), std::vector<std::string>{"b"});
}

TEST(FolderComparison, AListingsTimeCarriesItsPrecision)
{
    const struct {
        const char *Line;
        int Precision;
        const char *Time;
    } cases[] = {
        {"type=file;size=5;modify=20261208101530; a", 1, "20261208101530"},
        {"-rw-r--r--   1 ftp ftp   5 Dec  7 10:15 a", 60, nullptr},
        {"-rw-r--r--   1 ftp ftp   5 Dec  7  2019 a", 86400, "20191207000000"},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.Line);
        const TCompareEntry entry = CompareEntryOf(ParseListingLine(test.Line, 20261208), "a");
        EXPECT_EQ(entry.Precision, test.Precision);
        if (test.Time) {
            EXPECT_EQ(TimeTextOfSeconds(entry.Seconds), test.Time);
        }
        EXPECT_EQ(entry.Size, 5);
    }
}

TEST(Permissions, BitsReadFromListingsAndNumbers)
{
    const std::pair<const char *, int> texts[] = {{"-rwxr-xr-x", 0755}, {"drw-r-----", 0640}, {"-rwsr-S--T", 07740},
                                                  {"-rw-r--r--@", 0644}, {"rwxr-xr-x", -1}, {"-rwxq-xr-x", -1}};
    for (const auto &[text, mode] : texts)
        EXPECT_EQ(ModeOfPermissionText(text), mode) << text;
    const std::pair<const char *, int> numbers[] = {{"755", 0755}, {"0644", 0644}, {"4755", 04755}, {"8", -1},
                                                    {"", -1}, {"77777", -1}};
    for (const auto &[text, mode] : numbers)
        EXPECT_EQ(ModeOfOctalText(text), mode) << text;
}

TEST(Permissions, RecursiveChangesReachWhatTheScopeNames)
{
    for (const auto scope : {TPermissionChange::FilesAndFolders, TPermissionChange::FilesOnly,
                             TPermissionChange::FoldersOnly}) {
        SCOPED_TRACE(int(scope));
        TMemoryServer server;
        server.AddFolder("/site");
        server.AddFolder("/site/cgi");
        server.AddFolder("/site/cgi/deep");
        server.AddFile("/site/cgi/run.sh", "x");
        server.AddFile("/site/cgi/deep/tool", "y");
        server.AddFile("/site/index.html", "z");
        TSessionSettings settings;
        settings.Protocol = "memory";
        settings.User = "tester";
        const auto session = server.Maker()(settings);
        session->Connect(settings);
        TPermissionChange change;
        change.Mode = 0755;
        change.Recursive = true;
        change.ApplyTo = scope;
        QStringList log;
        const TPermissionResult result = ChangePermissions(*session, "/site", {{"cgi", true}, {"gone", false}}, change,
                                                           {}, [&log](const QString &line) { log << line; });
        const bool files = scope != TPermissionChange::FoldersOnly, folders = scope != TPermissionChange::FilesOnly;
        // The chosen folder too follows the scope: "Files only" never
        // touches a folder, "Folders only" never a file.
        EXPECT_EQ(server.Mode("/site/cgi"), folders ? 0755 : -1);
        EXPECT_EQ(server.Mode("/site/cgi/run.sh"), files ? 0755 : -1);
        EXPECT_EQ(server.Mode("/site/cgi/deep/tool"), files ? 0755 : -1);
        EXPECT_EQ(server.Mode("/site/cgi/deep"), folders ? 0755 : -1);
        EXPECT_EQ(server.Mode("/site/index.html"), -1);
        EXPECT_EQ(result.Refused, files ? 1u : 0u);
        ASSERT_EQ(log.size(), files ? 1 : 0);
        if (files) {
            EXPECT_TRUE(log[0].startsWith("The server refused the permissions of /site/gone: 550")) << log[0].toStdString();
        }
    }
}

TEST(NameFilters, RulesHideByNameTypeAndSizeOnlyWhenOn)
{
    TNameFilters filters;
    EXPECT_FALSE(filters.Active());  // the ready-made ones come off
    EXPECT_FALSE(filters.Hides(".git", true, -1));
    std::vector<TNameFilter> rules = TNameFilters::ReadyMade();
    for (TNameFilter &rule : rules)
        rule.Enabled = true;
    rules.push_back({"Logs", true, "^debug-\\d+\\.log$", true, TNameFilter::FilesOnly});
    rules.push_back({"Big", true, "", false, TNameFilter::FilesAndFolders, 1000, -1});
    rules.push_back({"Off", false, "*", false});
    filters.SetRules(rules);
    const struct {
        const char *Name;
        bool Folder;
        int64_t Size;
        bool Hidden;
    } cases[] = {
        {".git", true, -1, true},         {".git", false, 10, false},     {"notes.txt~", false, 1, true},
        {"main.o", false, 1, true},       {"node_modules", true, -1, true}, {"main.c", false, 1, false},
        {"debug-12.log", false, 5, true}, {"debug-12.log", true, -1, false}, {"xdebug-1.log", false, 5, false},
        {"video.mp4", false, 1000, true}, {"video.mp4", false, 999, false}, {"video.mp4", false, -1, false},
    };
    for (const auto &test : cases)
        EXPECT_EQ(filters.Hides(test.Name, test.Folder, test.Size), test.Hidden) << test.Name << ' ' << test.Folder;
    // A copy goes by its own rules.
    const TNameFilters copy = filters;
    filters.SetRules({});
    EXPECT_TRUE(copy.Hides(".git", true, -1));
    EXPECT_FALSE(filters.Active());

    EXPECT_TRUE(TNameFilters::Problem({"Broken", true, "([", true}).startsWith("The regular expression of \"Broken\""));
    EXPECT_FALSE(TNameFilters::Problem({"All", true, "", false}).isEmpty());
    EXPECT_TRUE(TNameFilters::Problem(rules[0]).isEmpty());
}

TEST(RemoteSearch, CriteriaMatchNameSizeAndDateAndAStopEndsTheWalk)
{
    TSearchCriteria criteria;
    criteria.Names = "*.PHP;config*";
    criteria.MinSize = 2;
    criteria.ChangedSince = SecondsOfTimeText("20261201000000");
    const auto entry = [](const char *name, int64_t size, const char *time) {
        TListingEntry item;
        item.Name = name;
        item.Size = size;
        item.Seconds = SecondsOfTimeText(time);
        return item;
    };
    EXPECT_TRUE(criteria.Matches(entry("index.php", 5, "20261205000000")));
    EXPECT_TRUE(criteria.Matches(entry("config.inc", 5, "20261205000000")));
    EXPECT_FALSE(criteria.Matches(entry("index.php", 1, "20261205000000")));
    EXPECT_FALSE(criteria.Matches(entry("index.php", 5, "20261130235959")));
    EXPECT_FALSE(criteria.Matches(entry("index.html", 5, "20261205000000")));

    TMemoryServer server;
    server.AddFolder("/a");
    server.AddFolder("/a/b");
    server.AddFile("/a/b/x.php", "xx");
    TRemoteSearch search(server.Maker());
    QString ended;
    int found = 0;
    search.OnFound = [&](const TSearchResult &) { ++found; };
    search.OnEnded = [&](const QString &summary) { ended = summary; };
    TSessionSettings session;
    session.Protocol = "memory";
    session.User = "tester";
    const auto run = [&] {
        ended.clear();
        search.Start(session, "/a", {});
        QElapsedTimer bound;
        bound.start();
        while (ended.isEmpty() && bound.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    };
    run();
    EXPECT_EQ(ended, "2 found in 2 folders.");
    EXPECT_EQ(found, 2);
    server.BeforeList = [&search] { search.Stop(); };
    run();
    EXPECT_TRUE(ended.startsWith("Stopped: ")) << ended.toStdString();
}

TEST(LineEnds, TextConvertsEachWayWhateverTheChunks)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a\r\nb\r\n", "a\nb\n"}, {"a\rb\r", "a\rb\r"}, {"\r\r\n", "\r\n"}, {"", ""}, {"no end", "no end"}};
    for (const auto &[wire, local] : cases)
        for (const size_t chunk : {size_t(1), size_t(2), size_t(1000)}) {
            SCOPED_TRACE(wire + " by " + std::to_string(chunk));
            TMemoryStream written;
            TLocalLineEnds down(written);
            for (size_t at = 0; at < wire.size(); at += chunk)
                down.Write(wire.data() + at, int64_t(std::min(chunk, wire.size() - at)));
            down.Finish();
            EXPECT_EQ(written.Data(), local);
        }
    const std::pair<std::string, std::string> up[] = {{"a\nb\n", "a\r\nb\r\n"}, {"a\r\nb", "a\r\nb"}, {"\n\n", "\r\n\r\n"}};
    for (const auto &[local, wire] : up) {
        TMemoryStream source;
        source.Write(local.data(), int64_t(local.size()));
        source.SetPosition(0);
        TWireLineEnds ends(source);
        EXPECT_EQ(ends.Size(), int64_t(wire.size()));  // what the sender counts on
        std::string sent;
        char byte[3];
        while (const int64_t read = ends.Read(byte, 3))
            sent.append(byte, size_t(read));
        EXPECT_EQ(sent, wire);
    }
    const std::pair<const char *, bool> names[] = {{"index.HTML", true}, {"a.php", true}, {"photo.jpg", false},
                                                   {"Makefile", false}, {"notes.", false}};
    for (const auto &[name, text] : names)
        EXPECT_EQ(IsTextType(name, "txt; .html;PHP"), text) << name;
}

TEST(RemoteUrl, NamesTheServerAndPathWithoutThePassword)
{
    const struct {
        const char *Protocol, *Host, *User;
        int Port;
        const char *Path, *Url;
    } cases[] = {
        {"ftp", "example.org", "anonymous", 21, "/pub/a b.txt", "ftp://example.org/pub/a%20b.txt"},
        {"sftp", "example.org", "deploy", 2222, "/www/", "sftp://deploy@example.org:2222/www/"},
        {"ftpes", "::1", "me@home", 21, "/caf\xc3\xa9#1", "ftpes://me%40home@[::1]/caf%C3%A9%231"},
    };
    for (const auto &test : cases) {
        TSessionSettings session;
        session.Protocol = test.Protocol;
        session.Host = test.Host;
        session.User = test.User;
        session.Secret = "hunter2";
        session.Port = test.Port;
        EXPECT_EQ(RemoteUrl(session, test.Path), test.Url);
    }
}

class TimesKept : public ::testing::Test {
protected:
    TimesKept() : Runner(News, false, Server.Maker())
    {
        TSessionSettings session;
        session.Protocol = "memory";
        session.User = "tester";
        Runner.SetSession(session, "tester@memory");
        Server.AddFolder("/pub");
    }
    void Run(TTransferItem item)
    {
        item.Confirmed = true;
        Runner.Enqueue({item});
        QElapsedTimer bound;
        bound.start();
        while (Runner.Active() && bound.elapsed() < 20000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        ASSERT_FALSE(Runner.Active());
    }
    TTransferItem Item(TTransferDirection direction, const std::string &name)
    {
        TTransferItem item;
        item.Direction = direction;
        item.RemoteFolder = "/pub";
        item.RemoteName = name;
        item.LocalPath = Local.File(name);
        return item;
    }

    TMemoryServer Server;
    TNewsRecord News;
    TTransferRunner Runner;
    TempDir Local;
};

TEST_F(TimesKept, BothWaysUnlessTurnedOffAndSaidOnceWhereTheServerTakesNone)
{
    for (const bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        TTransferRunner::TOptions options;
        options.PreserveTimes = keep;
        Runner.SetOptions(options);
        Server.AddFile("/pub/down.txt", "server", "20200102030405");
        Run(Item(TTransferDirection::Download, "down.txt"));
        EXPECT_EQ(LocalFileSeconds(Local.File("down.txt")) == SecondsOfTimeText("20200102030405"), keep);

        const std::string up = keep ? "kept.txt" : "new.txt";
        std::ofstream(Local.File(up)) << "local";
        ASSERT_TRUE(SetLocalFileSeconds(Local.File(up), SecondsOfTimeText("20190506070809")));
        Run(Item(TTransferDirection::Upload, up));
        EXPECT_EQ(Server.Time("/pub/" + up) == "20190506070809", keep);
    }
    Server.KeepsTimes = false;
    Runner.SetOptions({});
    for (const char *name : {"one.txt", "two.txt"}) {
        std::ofstream(Local.File(name)) << name;
        Run(Item(TTransferDirection::Upload, name));
    }
    EXPECT_EQ(News.Lines.filter("did not take the time").size(), 1) << News.Lines.join('\n').toStdString();
}

TEST(SpeedLimit, TheStreamCarriesEveryByteAndAStopEndsTheWait)
{
    TSpeedLimit limit;
    limit.Set(1 << 30);
    std::atomic<bool> stop{false};
    TMemoryStream inner;
    TLimitedStream stream(inner, limit, stop);
    const std::string bytes(100'000, 'v');
    EXPECT_EQ(stream.Write(bytes.data(), int64_t(bytes.size())), int64_t(bytes.size()));
    EXPECT_EQ(stream.Position(), int64_t(bytes.size()));
    stream.SetPosition(10);
    char back[5];
    EXPECT_EQ(stream.Read(back, 5), 5);
    EXPECT_EQ(stream.Position(), 15);
    EXPECT_EQ(inner.Data(), bytes);
    // A limit of one byte a second would hold this for days; a stop, or
    // the limit taken off, lets it through.
    limit.Set(1);
    stop = true;
    EXPECT_EQ(stream.Write(bytes.data(), 1000), 1000);
    stop = false;
    limit.Set(0);
    EXPECT_EQ(stream.Write(bytes.data(), 1000), 1000);
}

TEST(KeepAlive, AnIdleOnlineConnectionIsAskedAndNoOtherIs)
{
    TMemoryServer server;
    TSessionSettings settings;
    settings.Protocol = "memory";
    settings.User = "tester";
    auto ftp = server.Maker()(settings);
    // The browsing session takes a protocol it does not know as the first
    // one's: the server in memory.
    TBrowsingSession browsing(*ftp, server.Maker());
    browsing.Connect(settings);
    bool online = false;
    TKeepAlive keepAlive(browsing, [&online] { return online; });
    keepAlive.SetInterval(5, 10);
    keepAlive.SetEnabled(true);
    const auto spin = [](const std::function<bool()> &until) {
        QElapsedTimer bound;
        bound.start();
        while (!until() && bound.elapsed() < 200)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    };
    spin([] { return false; });
    EXPECT_EQ(server.KeepAlives(), 0);  // offline
    online = true;
    spin([&] { return server.KeepAlives() >= 2; });
    EXPECT_GE(server.KeepAlives(), 2);
    keepAlive.SetEnabled(false);
    const int sent = server.KeepAlives();
    spin([] { return false; });
    EXPECT_EQ(server.KeepAlives(), sent);
}

}  // namespace
