// The SFTP session against OpenSSH's sshd on loopback: the ways of logging
// in, the host key questions, browsing and changing, and transfers.
#include "FileTimes.h"
#include "FtpServerFixture.h"
#include "IdGlobal.h"
#include "Permissions.h"
#include "TreeComparison.h"
#include "HostKeys.h"
#include "IdStream.h"
#include "SessionSettings.h"
#include "SftpSession.h"
#include "SshConnection.h"
#include "SshServer.h"
#include "TempDir.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <random>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::string RandomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::string bytes(count, '\0');
    for (char &c : bytes)
        c = char(random());
    return bytes;
}

// A file of the server's user, as if it had made it.
void Write(const fs::path &path, const std::string &bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
    const passwd *user = ::getpwnam(SshServer::User().c_str());
    ASSERT_EQ(::chown(path.c_str(), user->pw_uid, user->pw_gid), 0);
}

class SftpSessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (const std::string why = SshServer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
        fs::create_directory(Root());
        Server = std::make_unique<SshServer>(Root(), Options);
    }

    fs::path Root() const { return Dir.Path() / "root"; }
    std::string OwnKnownHosts() const { return Config.File("known_hosts"); }

    // A session whose known hosts are the test's own files; the server's
    // key known unless `known` is false.
    std::unique_ptr<TSftpSession> Session(bool known = true, std::vector<std::string> keys = {})
    {
        if (known)
            std::ofstream(Config.File("user_known_hosts")) << Server->KnownHostsLine() << "\n";
        auto session = std::make_unique<TSftpSession>(THostKeys({Config.File("user_known_hosts")}, OwnKnownHosts()),
                                                      std::move(keys));
        return session;
    }

    TSessionSettings Settings(const std::string &password = SshServer::Password()) const
    {
        TSessionSettings settings;
        settings.Protocol = "sftp";
        settings.Host = "127.0.0.1";
        settings.Port = Server->Port();
        settings.User = SshServer::User();
        settings.Secret = password;
        return settings;
    }

    SshServer::Options Options;
    TempDir Dir, Config;
    std::unique_ptr<SshServer> Server;
};

// ---- log-in -------------------------------------------------------------------------

TEST_F(SftpSessionTest, LogsInEachWayTheServerOffers)
{
    const std::string plainKey = Server->MakeClientKey(Config.Path());
    fs::create_directory(Config.Path() / "locked");
    const std::string lockedKey = Server->MakeClientKey(Config.Path() / "locked", "open sesame");
    struct Case {
        const char *Name;
        std::string Password, KeyFile;
        // The prompts the user answers, and what the log-in asks.
        std::vector<std::string> Answers;
        std::vector<TLoginPrompt::TKind> Asked;
        const char *Refusal;
    } cases[] = {
        {"password", SshServer::Password(), "", {}, {}, nullptr},
        {"site's key file", "", plainKey, {}, {}, nullptr},
        {"key with its passphrase asked", "", lockedKey, {"wrong", "open sesame"},
         {TLoginPrompt::Passphrase, TLoginPrompt::Passphrase}, nullptr},
        {"password asked", "", "", {SshServer::Password()}, {TLoginPrompt::Password}, nullptr},
        {"wrong password, then the server's own question", "nope", "", {"still wrong"}, {TLoginPrompt::Interactive},
         "refused the password"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Name);
        auto session = Session();
        std::vector<TLoginPrompt::TKind> asked;
        size_t answered = 0;
        session->OnPrompt = [&](const TLoginPrompt &prompt, std::string &answer) {
            asked.push_back(prompt.Kind);
            if (answered == c.Answers.size())
                return false;
            answer = c.Answers[answered++];
            return true;
        };
        TSessionSettings settings = Settings(c.Password);
        settings.KeyFile = c.KeyFile;
        if (c.Refusal) {
            try {
                session->Connect(settings);
                ADD_FAILURE() << "logged in";
            } catch (const ESshLogInRefused &e) {
                EXPECT_NE(std::string(e.what()).find(c.Refusal), std::string::npos) << e.what();
            }
        } else {
            session->Connect(settings);
            EXPECT_EQ(session->CurrentFolder(), Root().string());
            // What the next connection takes without asking.
            TSessionSettings settled = Settings("");
            session->Settle(settled);
            auto second = Session();
            second->Connect(settled);
            EXPECT_TRUE(second->Connected());
        }
        EXPECT_EQ(asked, c.Asked);
    }
}

TEST_F(SftpSessionTest, ServerQuestionsAreAskedInItsWords)
{
    Options.Password = false;
    Server = std::make_unique<SshServer>(Root(), Options);
    auto session = Session();
    std::vector<std::string> prompts;
    session->OnPrompt = [&](const TLoginPrompt &prompt, std::string &answer) {
        prompts.push_back(prompt.Text);
        answer = SshServer::Password();
        return true;
    };
    // No password given: the one prompt is the user's to answer.
    session->Connect(Settings(""));
    EXPECT_EQ(prompts, std::vector<std::string>{"Password: "});
}

TEST_F(SftpSessionTest, AgentKeysLogIn)
{
    const std::string key = Server->MakeClientKey(Config.Path());
    const std::string socket = Config.File("agent.sock");
    ASSERT_EQ(std::system(("ssh-agent -a " + socket + " > /dev/null").c_str()), 0);
    setenv("SSH_AUTH_SOCK", socket.c_str(), 1);
    ASSERT_EQ(std::system(("ssh-add -q " + key + " 2> /dev/null").c_str()), 0);
    fs::remove(key);  // the agent's copy alone
    auto session = Session();
    session->Connect(Settings(""));
    EXPECT_TRUE(session->Connected());
    std::system(("pkill -f 'ssh-agent -a " + socket + "'").c_str());
    unsetenv("SSH_AUTH_SOCK");
}

TEST_F(SftpSessionTest, ConnectsThroughASocksOrHttpProxy)
{
    for (const TSocksVersion version : {svSocks5, svHttpConnect}) {
        SCOPED_TRACE(version);
        const auto proxy = version == svSocks5 ? SocksProxy::MicroSocks("proxyuser", "proxypass")
                                               : SocksProxy::Tinyproxy("proxyuser", "proxypass");
        TSessionSettings settings = Settings();
        settings.Proxy = {saUsernamePassword, "127.0.0.1", "proxypass", proxy->Port(), "proxyuser", version};
        auto session = Session();
        session->Connect(settings);
        EXPECT_EQ(session->CurrentFolder(), Root().string());
        settings.Proxy.Password = "wrong";
        EXPECT_THROW(Session()->Connect(settings), EIdSocksError);
    }
}

// ---- host keys ----------------------------------------------------------------------

TEST_F(SftpSessionTest, HostKeysAreTrustedAsTheUserSays)
{
    std::vector<THostKeyQuestion> asked;
    TTrustAnswer answer = TTrustAnswer::Cancel;
    auto connect = [&](std::unique_ptr<TSftpSession> session, const TSessionSettings &settings) {
        session->OnHostKey = [&](const THostKeyQuestion &question) {
            asked.push_back(question);
            return answer;
        };
        session->Connect(settings);
        return session;
    };
    // Unknown: cancelled, nothing is kept.
    EXPECT_THROW(connect(Session(false), Settings()), EIdException);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0].Fingerprint, Server->Fingerprint());
    EXPECT_EQ(asked[0].KeyType, "ssh-ed25519");
    EXPECT_EQ(asked[0].Port, Server->Port());
    EXPECT_TRUE(asked[0].TrustedFingerprint.empty());
    EXPECT_FALSE(fs::exists(OwnKnownHosts()));
    // Once: the session's connections take it, a later run asks again.
    answer = TTrustAnswer::TrustOnce;
    auto once = connect(Session(false), Settings());
    TSessionSettings settled = Settings();
    once->Settle(settled);
    auto transfer = Session(false);
    transfer->Connect(settled);  // no question can be asked
    EXPECT_EQ(asked.size(), 2u);
    // Always: kept in Veldra's own file, and asked no more.
    answer = TTrustAnswer::TrustAlways;
    connect(Session(false), Settings());
    connect(Session(false), Settings());
    EXPECT_EQ(asked.size(), 3u);
    EXPECT_EQ(Contents(OwnKnownHosts()), Server->KnownHostsLine() + "\n");
    // Changed: the question names both keys; cancelled, it connects not.
    const std::string old = Server->Fingerprint();
    Server->ChangeHostKey();
    answer = TTrustAnswer::Cancel;
    EXPECT_THROW(connect(Session(false), Settings()), EIdException);
    ASSERT_EQ(asked.size(), 4u);
    EXPECT_EQ(asked[3].TrustedFingerprint, old);
    EXPECT_EQ(asked[3].Fingerprint, Server->Fingerprint());
    // Settled before the change: a transfer's connection refuses the new key.
    EXPECT_THROW(Session(false)->Connect(settled), EIdException);

    // The change trusted always: the new key is the one key, and the old
    // one, back on the server, is a change again, in a later run too.
    const std::string replaced = Server->Fingerprint();
    answer = TTrustAnswer::TrustAlways;
    connect(Session(false), Settings());
    EXPECT_EQ(Contents(OwnKnownHosts()), Server->KnownHostsLine() + "\n");
    Server->RestoreHostKey();
    answer = TTrustAnswer::Cancel;
    EXPECT_THROW(connect(Session(false), Settings()), EIdException);
    ASSERT_EQ(asked.size(), 6u);
    EXPECT_EQ(asked[5].Fingerprint, old);
    EXPECT_EQ(asked[5].TrustedFingerprint, replaced);
    // Known in the user's own file, which Veldra never writes: trusting
    // the other key revokes it in Veldra's file.
    const std::string userLine = Server->KnownHostsLine();
    auto known = Session(true);
    const std::string userFile = Contents(Config.File("user_known_hosts"));
    Server->ChangeHostKey();
    answer = TTrustAnswer::TrustAlways;
    connect(std::move(known), Settings());
    EXPECT_EQ(Contents(Config.File("user_known_hosts")), userFile);
    Server->RestoreHostKey();
    answer = TTrustAnswer::Cancel;
    EXPECT_THROW(connect(Session(false), Settings()), EIdException);
    ASSERT_EQ(asked.size(), 8u);
    EXPECT_EQ(asked[7].Fingerprint, old);
    // And trusted again, it is known once more.
    answer = TTrustAnswer::TrustAlways;
    connect(Session(false), Settings());
    connect(Session(false), Settings());
    EXPECT_EQ(asked.size(), 9u);
    EXPECT_EQ(Contents(OwnKnownHosts()).find("@revoked " + userLine.substr(0, userLine.find(' '))), std::string::npos)
        << Contents(OwnKnownHosts());
}

TEST_F(SftpSessionTest, HashedKnownHostsAreRead)
{
    const std::string file = Config.File("user_known_hosts");
    std::ofstream(file) << "# a comment\nother.example ssh-ed25519 AAAA\n" << Server->KnownHostsLine() << "\n";
    ASSERT_EQ(std::system(("ssh-keygen -q -H -f " + file + " > /dev/null 2>&1").c_str()), 0);
    std::ifstream hashed(file);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(hashed), {}).find("127.0.0.1"), std::string::npos);
    auto session = std::make_unique<TSftpSession>(THostKeys({file}, OwnKnownHosts()), std::vector<std::string>{});
    session->Connect(Settings());  // no question set: a key asked about would be refused
    EXPECT_TRUE(session->Connected());
}

TEST_F(SftpSessionTest, AServerWithSeveralKeysShowsTheOneKnown)
{
    Options.RsaToo = true;
    Server = std::make_unique<SshServer>(Root(), Options);
    std::ofstream(Config.File("user_known_hosts")) << Server->KnownHostsLine("host_key_rsa") << "\n";
    auto session = std::make_unique<TSftpSession>(THostKeys({Config.File("user_known_hosts")}, OwnKnownHosts()),
                                                  std::vector<std::string>{});
    session->Connect(Settings());  // no question set: an unknown key would be refused
    EXPECT_TRUE(session->Connected());
}

// ---- browsing and changing ------------------------------------------------------------

TEST_F(SftpSessionTest, BrowsesAndChangesFolders)
{
    fs::create_directories(Root() / "docs" / "deep");
    Write(Root() / "docs" / "a.txt", "12345");
    fs::create_directory_symlink("docs", Root() / "to-docs");
    fs::create_symlink("a.txt", Root() / "docs" / "to-a");
    fs::create_symlink("loop", Root() / "loop");
    std::system(("chown -hR ftptest: " + Root().string()).c_str());
    auto session = Session();
    session->Connect(Settings());
    std::map<std::string, TListingEntry> seen;
    session->List({}, [&](TListingEntry &&entry) { seen[entry.Name] = entry; }, {});
    ASSERT_EQ(seen.size(), 3u);
    EXPECT_TRUE(seen["docs"].IsFolder && !seen["docs"].IsLink);
    EXPECT_TRUE(seen["to-docs"].IsFolder && seen["to-docs"].IsLink);
    EXPECT_EQ(seen["to-docs"].LinkTarget, "docs");
    EXPECT_TRUE(seen["loop"].IsLink && !seen["loop"].IsFolder);
    // A link to a folder opens as the folder, under the link's name.
    session->EnterFolder("to-docs");
    EXPECT_EQ(session->CurrentFolder(), (Root() / "to-docs").string());
    seen.clear();
    session->List({}, [&](TListingEntry &&entry) { seen[entry.Name] = entry; }, {});
    EXPECT_EQ(seen["a.txt"].Size, 5);
    EXPECT_EQ(seen["a.txt"].Permissions.substr(0, 1), "-");
    EXPECT_EQ(seen["a.txt"].Owner, SshServer::User());
    EXPECT_EQ(session->Size("a.txt"), 5);
    EXPECT_EQ(session->ModificationTime("a.txt").size(), 14u);
    session->EnterParentFolder();
    EXPECT_EQ(session->CurrentFolder(), Root().string());
    EXPECT_THROW(session->EnterFolder("docs/a.txt"), EIdProtocolReplyError);

    session->MakeFolder("new");
    session->Rename("new", "renamed");
    session->ChangePermissions("renamed", 0700);
    EXPECT_EQ(fs::status(Root() / "renamed").permissions(), fs::perms::owner_all);
    session->RemoveFolder("renamed");
    session->Delete("docs/to-a");
    EXPECT_FALSE(fs::exists(Root() / "renamed"));
    EXPECT_FALSE(fs::is_symlink(Root() / "docs" / "to-a"));
    // Failures say what and where.
    struct Failure {
        std::function<void()> Call;
        const char *Words;
    } failures[] = {
        {[&] { session->Delete("missing"); }, "No such file or folder: "},
        {[&] { session->MakeFolder("/root-only"); }, "Permission denied: /root-only"},
    };
    for (const Failure &failure : failures) {
        try {
            failure.Call();
            ADD_FAILURE() << failure.Words;
        } catch (const EIdProtocolReplyError &e) {
            EXPECT_NE(std::string(e.what()).find(failure.Words), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(session->Size("missing"), -1);
}

// ---- the tools of a working day ----------------------------------------------------

TEST_F(SftpSessionTest, ConnectsOverIPv6)
{
    Options.Ipv6 = true;
    Server = std::make_unique<SshServer>(Root(), Options);
    Write(Root() / "six.txt", "over IPv6");
    auto session = Session();
    std::string known = Server->KnownHostsLine();
    known.replace(0, known.find(']'), "[::1");
    std::ofstream(Config.File("user_known_hosts"), std::ios::app) << known << "\n";
    TSessionSettings settings = Settings();
    settings.Host = "::1";
    session->Connect(settings);
    TMemoryStream bytes;
    session->Get("six.txt", bytes, 0, -1);
    EXPECT_EQ(bytes.Data(), "over IPv6");
}

TEST_F(SftpSessionTest, TimesPermissionsAndTheKeepAliveWorkOnTheServer)
{
    fs::create_directories(Root() / "cgi" / "deep");
    Write(Root() / "cgi" / "run.sh", "#!/bin/sh\n");
    Write(Root() / "cgi" / "deep" / "tool", "t");
    Write(Root() / "index.html", "<html>");
    std::system(("chown -hR ftptest: " + Root().string()).c_str());
    auto session = Session();
    session->Connect(Settings());

    // A time set is the file's, to the second, and the listing says it so.
    ASSERT_TRUE(session->SetModificationTime("index.html", "20240102030405"));
    struct stat info {};
    ASSERT_EQ(::stat((Root() / "index.html").c_str(), &info), 0);
    EXPECT_EQ(TimeTextOfSeconds(info.st_mtime), "20240102030405");
    EXPECT_EQ(session->ModificationTime("index.html"), "20240102030405");
    session->KeepAlive();
    std::map<std::string, TListingEntry> seen;
    session->List({}, [&](TListingEntry &&entry) { seen[entry.Name] = entry; }, {});
    EXPECT_EQ(TimeTextOfSeconds(seen["index.html"].Seconds), "20240102030405");
    EXPECT_FALSE(session->SetModificationTime("missing", "20240102030405"));

    // Executable files below cgi, the folders left as they are, cgi too.
    const auto mode = [this](const char *path) { return int(fs::status(Root() / path).permissions()); };
    const int untouched = mode("index.html");
    fs::permissions(Root() / "cgi", fs::perms(0750));
    TPermissionChange change;
    change.Mode = 0755;
    change.Recursive = true;
    change.ApplyTo = TPermissionChange::FilesOnly;
    QStringList log;
    const TPermissionResult result = ChangePermissions(*session, Root().string(), {{"cgi", true}}, change, {},
                                                       [&log](const QString &line) { log << line; });
    EXPECT_EQ(result.Refused, 0u);
    EXPECT_TRUE(log.isEmpty()) << log.join('\n').toStdString();
    EXPECT_EQ(mode("cgi/run.sh"), 0755);
    EXPECT_EQ(mode("cgi/deep/tool"), 0755);
    EXPECT_EQ(mode("cgi"), 0750);
    EXPECT_EQ(mode("index.html"), untouched);

    // A local copy a minute newer than the server's is the one to upload.
    TempDir local;
    std::ofstream(local.File("index.html")) << "<html>";
    SetLocalFileSeconds(local.File("index.html"), SecondsOfTimeText("20240102030505"));
    const TTreeComparison compared = CompareTrees(*session, local.Path().string() + '/', Root().string(), {});
    ASSERT_EQ(compared.LocalNewer.size(), 1u);
    EXPECT_EQ(compared.LocalNewer[0].Mark, TCompared::NewerHere);
    EXPECT_EQ(compared.RemoteNewer.size(), 2u);  // run.sh and tool
}

// ---- transfers ----------------------------------------------------------------------

TEST_F(SftpSessionTest, TransfersAreByteExactFromAnyOffset)
{
    const std::string bytes = RandomBytes(3'000'000, 7);
    Write(Root() / "big.bin", bytes);
    auto session = Session();
    session->Connect(Settings());
    int64_t lastProgress = 0;
    session->OnProgress = [&](int64_t moved) { lastProgress = moved; };
    struct Case {
        int64_t Offset;
    } cases[] = {{0}, {1}, {2'000'000}, {int64_t(bytes.size())}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.Offset);
        lastProgress = 0;
        TMemoryStream down;
        session->Get("big.bin", down, c.Offset, int64_t(bytes.size()));
        EXPECT_TRUE(down.Data() == bytes.substr(size_t(c.Offset)));
        EXPECT_EQ(lastProgress, int64_t(bytes.size()) - c.Offset);
        // Up: the first part there, the rest from the offset.
        Write(Root() / "up.bin", bytes.substr(0, size_t(c.Offset)));
        TMemoryStream up;
        up.Write(bytes.data() + c.Offset, int64_t(bytes.size()) - c.Offset);
        up.SetPosition(0);
        session->Put(up, "up.bin", c.Offset);
        EXPECT_TRUE(Contents(Root() / "up.bin") == bytes);
    }
    TMemoryStream rest;
    rest.Write("tail", 4);
    rest.SetPosition(0);
    session->Append(rest, "up.bin");
    EXPECT_TRUE(Contents(Root() / "up.bin") == bytes + "tail");
    // A file shorter than the size it had: the download says so.
    TMemoryStream shortened;
    EXPECT_THROW(session->Get("big.bin", shortened, 0, int64_t(bytes.size()) + 10), EIdDataConnectionCut);
}

TEST_F(SftpSessionTest, OffsetsPastFourGibibytesHold)
{
    // Sparse on the server: only the tail is written.
    const int64_t size = (int64_t(5) << 30) + 12345;
    const std::string tail = RandomBytes(100'000, 5);
    Write(Root() / "huge.bin", "");
    fs::resize_file(Root() / "huge.bin", uint64_t(size) - tail.size());
    std::ofstream(Root() / "huge.bin", std::ios::binary | std::ios::app) << tail;
    auto session = Session();
    session->Connect(Settings());
    EXPECT_EQ(session->Size("huge.bin"), size);
    TMemoryStream down;
    session->Get("huge.bin", down, size - int64_t(tail.size()), size);
    EXPECT_TRUE(down.Data() == tail);
    // And up, at such an offset, into a file that holds less.
    Write(Root() / "up.bin", "");
    fs::resize_file(Root() / "up.bin", uint64_t(size) - tail.size());
    TMemoryStream up;
    up.Write(tail.data(), int64_t(tail.size()));
    up.SetPosition(0);
    session->Put(up, "up.bin", size - int64_t(tail.size()));
    EXPECT_EQ(int64_t(fs::file_size(Root() / "up.bin")), size);
    std::ifstream written(Root() / "up.bin", std::ios::binary);
    written.seekg(size - int64_t(tail.size()));
    EXPECT_TRUE(std::string(std::istreambuf_iterator<char>(written), {}) == tail);
}

TEST_F(SftpSessionTest, AnAbortEndsATransferAndTheSessionGoesOn)
{
    Write(Root() / "big.bin", RandomBytes(64'000'000, 3));
    auto session = Session();
    session->Connect(Settings());
    session->OnProgress = [&](int64_t moved) {
        if (moved > 1'000'000)
            session->Abort();
    };
    TMemoryStream down;
    EXPECT_THROW(session->Get("big.bin", down, 0, -1), EIdTransferAborted);
    EXPECT_LT(down.Size(), 64'000'000);
    session->OnProgress = nullptr;
    EXPECT_EQ(session->Size("big.bin"), 64'000'000);
    std::vector<std::string> names;
    session->List({}, [&](TListingEntry &&entry) { names.push_back(entry.Name); }, {});
    EXPECT_EQ(names, std::vector<std::string>{"big.bin"});
}

}  // namespace

// ---- a second server --------------------------------------------------------------

TEST(ProftpdSftp, BrowsesChangesAndMovesFilesByteExact)
{
    if (const std::string why = SshServer::Unavailable(); !why.empty())
        GTEST_SKIP() << why;
    TempDir dir, config;
    fs::create_directory(dir.Path() / "root");
    SshServer::Options options;
    options.Proftpd = true;
    SshServer server(dir.Path() / "root", options);
    std::ofstream(config.File("known_hosts")) << server.KnownHostsLine() << "\n";
    TSftpSession session(THostKeys({config.File("known_hosts")}, config.File("own")), {});
    TSessionSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.User = SshServer::User();
    settings.Secret = SshServer::Password();
    session.Connect(settings);
    EXPECT_EQ(session.CurrentFolder(), "/");

    const std::string bytes = RandomBytes(3'000'000, 11);
    session.MakeFolder("in");
    session.EnterFolder("in");
    for (int64_t offset : {int64_t(0), int64_t(1'234'567)}) {
        SCOPED_TRACE(offset);
        TMemoryStream up;
        up.Write(bytes.data() + offset, int64_t(bytes.size()) - offset);
        up.SetPosition(0);
        session.Put(up, "file.bin", offset);
        EXPECT_TRUE(Contents(dir.Path() / "root" / "in" / "file.bin") == bytes);
        TMemoryStream down;
        session.Get("/in/file.bin", down, offset, int64_t(bytes.size()));
        EXPECT_TRUE(down.Data() == bytes.substr(size_t(offset)));
    }
    std::vector<std::pair<std::string, int64_t>> seen;
    session.List({}, [&](TListingEntry &&entry) { seen.emplace_back(entry.Name, entry.Size); }, {});
    EXPECT_EQ(seen, (std::vector<std::pair<std::string, int64_t>>{{"file.bin", int64_t(bytes.size())}}));
    session.Rename("file.bin", "renamed.bin");
    session.ChangePermissions("renamed.bin", 0600);
    EXPECT_EQ(fs::status(dir.Path() / "root" / "in" / "renamed.bin").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_THROW(session.Delete("missing"), EIdProtocolReplyError);
    session.Delete("renamed.bin");
    session.EnterParentFolder();
    session.RemoveFolder("in");
    EXPECT_FALSE(fs::exists(dir.Path() / "root" / "in"));
}
