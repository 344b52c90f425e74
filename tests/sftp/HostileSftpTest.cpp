// A scripted SFTP server behind a real sshd, misbehaving: names that are
// paths, a listing without end, a file that shrinks under a resume, a
// connection cut in a transfer, a reply claiming gigabytes, silence,
// replies for requests never sent, a megabyte of words. The same rules as
// for FTP: nothing outside the target, nothing short kept as whole, no
// wait longer than the read time-out, nothing a person reads unbounded.
#include "HostKeys.h"
#include "IdGlobal.h"
#include "IdStream.h"
#include "SessionSettings.h"
#include "SftpPacket.h"
#include "ScriptedPeer.h"
#include "SftpSession.h"
#include "SshServer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

namespace fs = std::filesystem;

namespace {

class HostileSftp : public ::testing::Test {
protected:
    // A session logged in to the scripted server in `mode`.
    std::unique_ptr<TSftpSession> Connect(const std::string &mode)
    {
        auto session = Start(mode);
        session->Connect(Settings);
        return session;
    }

    // The server in `mode`, and a session not yet connected to it.
    std::unique_ptr<TSftpSession> Start(const std::string &mode)
    {
        fs::create_directories(Dir.Path() / "root");
        SshServer::Options options;
        options.ScriptedSftp = mode;
        Server = std::make_unique<SshServer>(Dir.Path() / "root", options);
        std::ofstream(Dir.File("known_hosts")) << Server->KnownHostsLine() << "\n";
        auto session = std::make_unique<TSftpSession>(THostKeys({Dir.File("known_hosts")}, Dir.File("own")),
                                                      std::vector<std::string>{});
        Settings.Host = "127.0.0.1";
        Settings.Port = Server->Port();
        Settings.User = SshServer::User();
        Settings.Secret = SshServer::Password();
        return session;
    }

    void SetUp() override
    {
        if (const std::string why = SshServer::Unavailable(); !why.empty())
            GTEST_SKIP() << why;
    }

    TempDir Dir;
    std::unique_ptr<SshServer> Server;
    TSessionSettings Settings;
};

// A server that stops talking, between packets or inside one, fails the
// wait at the read time-out: the connection is gone, the next try may
// reconnect.
TEST_F(HostileSftp, SilenceEndsAtTheReadTimeOut)
{
    Settings.ReadTimeout = 1500;
    for (const char *mode : {"stall", "halfway"}) {
        SCOPED_TRACE(mode);
        auto session = Connect(mode);
        TMemoryStream target;
        try {
            session->Get("data.bin", target, 0, 1000);
            ADD_FAILURE() << "the read came back";
        } catch (const EIdSocketError &error) {
            EXPECT_EQ(error.LastError, Id_WSAETIMEDOUT);
        }
        EXPECT_FALSE(session->Connected());
    }
}

// An HTTP proxy that takes the CONNECT and says nothing: the connect ends
// at the read time-out, as FTP's does.
TEST_F(HostileSftp, ASilentProxyEndsAtTheReadTimeOut)
{
    ScriptedPeer proxy;
    proxy.Serve([](PeerSocket &peer) {
        peer.Read(10);
        peer.WaitForClose();
    });
    auto session = Start("names");
    Settings.ReadTimeout = 1000;
    Settings.Proxy.Version = svHttpConnect;
    Settings.Proxy.Host = "127.0.0.1";
    Settings.Proxy.Port = proxy.Port();
    try {
        session->Connect(Settings);
        ADD_FAILURE() << "connected";
    } catch (const EIdSocketError &error) {
        EXPECT_EQ(error.LastError, Id_WSAETIMEDOUT);
    }
    proxy.Join();
}

// A proxy whose answer and the server's first line come in one segment,
// as a busy proxy's may: the server's bytes are the server's.
TEST_F(HostileSftp, TheServersBytesThatCameWithTheProxysAnswerAreKept)
{
    auto session = Start("names");
    ScriptedPeer proxy;
    const int port = Settings.Port;
    proxy.Serve([port](PeerSocket &peer) {
        const int server = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(uint16_t(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ASSERT_EQ(::connect(server, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
        std::string banner;
        for (char c = 0; c != '\n';) {
            ASSERT_EQ(::recv(server, &c, 1, 0), 1);
            banner += c;
        }
        for (std::string line = peer.ReadLine(); !line.empty(); line = peer.ReadLine()) {
        }
        peer.Send("HTTP/1.1 200 Connection established\r\n\r\n" + banner);
        // Both ways until either ends.
        pollfd both[] = {{peer.Fd(), POLLIN, 0}, {server, POLLIN, 0}};
        char buffer[65536];
        while (::poll(both, 2, 10000) > 0) {
            const int from = both[0].revents ? peer.Fd() : server, to = from == server ? peer.Fd() : server;
            const ssize_t count = ::recv(from, buffer, sizeof buffer, 0);
            if (count <= 0 || ::send(to, buffer, size_t(count), MSG_NOSIGNAL) != count)
                break;
        }
        ::close(server);
    });
    Settings.Proxy.Version = svHttpConnect;
    Settings.Proxy.Host = "127.0.0.1";
    Settings.Proxy.Port = proxy.Port();
    session->Connect(Settings);
    std::vector<std::string> names;
    session->List({}, [&](TListingEntry &&entry) { names.push_back(entry.Name); }, {});
    EXPECT_EQ(names, std::vector<std::string>{"ok.txt"});
    session->Disconnect();
    proxy.Join();
}

// With no time-out at all, the user's abort ends a wait: at connect, a
// proxy that says nothing, a server that says nothing, a server stopped
// in the middle of its first packet; then a stalled read.
TEST_F(HostileSftp, AnAbortEndsEveryWait)
{
    Settings.ReadTimeout = IdTimeoutInfinite;
    for (const std::string where : {"proxy", "banner", "stall-init", "stall"}) {
        SCOPED_TRACE(where);
        ScriptedPeer silent;
        const bool peer = where == "proxy" || where == "banner";
        if (peer)
            silent.Serve([](PeerSocket &peer) { peer.WaitForClose(); });
        auto session = peer ? Start("names") : where == "stall" ? Connect(where) : Start(where);
        if (where == "proxy") {
            Settings.Proxy.Version = svHttpConnect;
            Settings.Proxy.Host = "127.0.0.1";
            Settings.Proxy.Port = silent.Port();
        } else if (where == "banner") {
            Settings.Port = silent.Port();
        }
        std::thread user([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(500));
            session->Abort();
        });
        TMemoryStream target;
        EXPECT_THROW(where == "stall" ? session->Get("data.bin", target, 0, 1000) : session->Connect(Settings),
                     EIdTransferAborted);
        user.join();
        Settings.Proxy = {};
        session.reset();
        if (peer)
            silent.Join();
    }
}

// A reply for a request never sent: the one waited for will not come.
TEST_F(HostileSftp, RepliesForNoRequestEndTheConnection)
{
    EXPECT_THROW(Connect("wrong-id"), ESftpMalformed);
    auto session = Connect("wrong-id-read");
    TMemoryStream target;
    EXPECT_THROW(session->Get("data.bin", target, 0, 1000), ESftpMalformed);
    EXPECT_FALSE(session->Connected());
    try {
        Connect("version");
        ADD_FAILURE() << "connected";
    } catch (const ESftpMalformed &error) {
        EXPECT_STREQ(error.what(), "The server answered with SFTP version 4294967295, which this program does not speak.");
    }
}

// Listings that give nothing to take, without end: every reply and every
// name counts, and the rounds are bounded.
TEST_F(HostileSftp, ListingsOfNothingEnd)
{
    const struct {
        const char *Mode;
        size_t InvalidNames;
    } cases[] = {{"empty", 0}, {"dots", 0}, {"slashes", 200}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Mode);
        auto session = Connect(c.Mode);
        size_t count = 0;
        const TFolderListing listing = session->List({}, [&](TListingEntry &&) { ++count; }, {});
        EXPECT_EQ(listing.Cut, TFolderListing::ctNothing);
        EXPECT_EQ(count, 0u);
        EXPECT_EQ(listing.InvalidNames, c.InvalidNames);
        EXPECT_TRUE(session->Connected());
    }
}

// A megabyte of a status message, with line ends and escapes: what the
// user reads is one short line.
TEST_F(HostileSftp, AServersWordsAreCutAndCleaned)
{
    auto session = Connect("babble");
    try {
        session->EnterFolder("data.bin");
        ADD_FAILURE() << "entered";
    } catch (const EIdException &error) {
        const std::string text = error.what();
        EXPECT_LT(text.size(), 300u);
        EXPECT_EQ(text.find_first_of("\r\n\x1b"), std::string::npos) << text;
        EXPECT_TRUE(text.starts_with("The server refused it for /data.bin: no  way [2J")) << text;
    }
}

TEST_F(HostileSftp, NamesThatArePathsAreNoEntries)
{
    auto session = Connect("names");
    std::vector<std::string> names;
    const TFolderListing listing =
        session->List({}, [&](TListingEntry &&entry) { names.push_back(entry.Name); }, {});
    EXPECT_EQ(names, std::vector<std::string>{"ok.txt"});
    EXPECT_EQ(listing.InvalidNames, 3u);  // "a/b", "../up" and ""
}

TEST_F(HostileSftp, AListingWithoutEndIsCutAtTheLimit)
{
    auto session = Connect("endless");
    size_t count = 0;
    TFolderListingLimits limits;
    limits.MaxEntries = 5000;
    const TFolderListing listing = session->List(limits, [&](TListingEntry &&) { ++count; }, {});
    EXPECT_EQ(listing.Cut, TFolderListing::ctEntries);
    EXPECT_EQ(count, 5000u);
    // The session goes on.
    EXPECT_EQ(session->CurrentFolder(), "/");
    EXPECT_EQ(session->Size("data.bin"), 0);
}

TEST_F(HostileSftp, ShortFilesAndLostConnectionsFail)
{
    const struct {
        const char *Mode;
        int64_t Offset, Size;
        bool Lost;
    } cases[] = {
        // Resumed at 200 of a file said to hold 1000, which ends at 500.
        {"shrink", 200, 1000, false},
        {"cut", 0, 1000000, true},
        {"huge", 0, 1000, true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.Mode);
        auto session = Connect(c.Mode);
        TMemoryStream target;
        EXPECT_THROW(session->Get("data.bin", target, c.Offset, c.Size), EIdException);
        EXPECT_LT(target.Size(), c.Size - c.Offset);
        EXPECT_EQ(session->Connected(), !c.Lost);
    }
}

TEST_F(HostileSftp, AWriteRefusedSaysTheDiskMayBeFull)
{
    auto session = Connect("full");
    TMemoryStream source;
    source.Write("bytes", 5);
    source.SetPosition(0);
    try {
        session->Put(source, "up.bin", 0);
        ADD_FAILURE() << "the upload went through";
    } catch (const EIdProtocolReplyError &e) {
        EXPECT_STREQ(e.what(), "The server could not write /up.bin: its disk may be full.");
    }
    EXPECT_TRUE(session->Connected());
}

}  // namespace
