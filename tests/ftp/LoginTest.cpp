// Connect and login: the scripted server for what real servers will not do
// on demand, pyftpdlib for the real thing.
#include "FtpServerFixture.h"
#include "CountingAntiFreeze.h"
#include "IdException.h"
#include "IdFTP.h"
#include "ListingParser.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace {

class ScriptedLogin : public ::testing::Test {
protected:
    ScriptedLogin()
    {
        FTP.Host = "127.0.0.1";
        FTP.Port = Peer.Port();
        FTP.User = "alice";
        FTP.Password = "pw";
        FTP.OnConnected = [this](TIdTCPClient *) { Events.push_back("connected"); };
        FTP.OnDisconnected = [this](TIdTCPConnection *) { Events.push_back("disconnected"); };
    }
    ScriptedPeer Peer;
    TIdFTP FTP;
    std::vector<std::string> Events;
};

// A greeting may be announced by a 120 first (RFC 959); the session ends
// with QUIT and its reply.
TEST_F(ScriptedLogin, FullLoginInOrder)
{
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("120 Ready in a moment\r\n220-Hello\r\n220-there\r\n220 Ready\r\n");
        EXPECT_EQ(peer.ReadLine(), "user alice");
        peer.Send("331 Password please\r\n");
        EXPECT_EQ(peer.ReadLine(), "pass pw");
        peer.Send("230 In\r\n");
        EXPECT_EQ(peer.ReadLine(), "type I");
        peer.Send("200 Type set\r\n");
        EXPECT_EQ(peer.ReadLine(), "syst");
        peer.Send("215 UNIX Type: L8\r\n");
        EXPECT_EQ(peer.ReadLine(), "QUIT");
        peer.Send("221 Goodbye\r\n");
        peer.WaitForClose();
    });
    FTP.Connect(true);
    EXPECT_EQ(FTP.SystemDescription(), " UNIX Type: L8");
    EXPECT_TRUE(FTP.Connected());
    FTP.Quit();
    EXPECT_FALSE(FTP.Connected());
    Peer.Join();
    EXPECT_EQ(Peer.Transcript(), "user alice\r\npass pw\r\ntype I\r\nsyst\r\nQUIT\r\n");
    EXPECT_EQ(Events, (std::vector<std::string>{"connected", "disconnected"}));
}

// A server that does not answer QUIT is closed all the same, in time.
TEST_F(ScriptedLogin, QuitWaitsForItsReplyOnlySoLong)
{
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        EXPECT_EQ(peer.ReadLine(), "QUIT");
        peer.WaitForClose();
    });
    FTP.Connect(false);
    FTP.Quit(50);
    EXPECT_FALSE(FTP.Connected());
    Peer.Join();
}

// A server without TLS, asked for it: nothing more is sent in clear, and
// the refusal says what it means.
TEST_F(ScriptedLogin, NoTlsOfferedEndsTheConnectBeforeTheLogin)
{
    FTP.UseTLS = utUseExplicitTLS;
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        EXPECT_EQ(peer.ReadLine(), "AUTH TLS");
        peer.Send("500 Unknown command.\r\n");
        peer.WaitForClose();
    });
    try {
        FTP.Connect(true);
        ADD_FAILURE() << "connected without TLS";
    } catch (const EIdProtocolReplyError &e) {
        EXPECT_STREQ(e.what(), "The server does not offer TLS (500 Unknown command.).");
    }
    EXPECT_FALSE(FTP.Connected());
    Peer.Join();
    EXPECT_EQ(Peer.Transcript(), "AUTH TLS\r\n");
}

TEST_F(ScriptedLogin, UserAcceptedWithoutPasswordAndUnknownSystem)
{
    FTP.User = "";
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220\r\n");
        EXPECT_EQ(peer.ReadLine(), "user ");
        peer.Send("230 Welcome\r\n");
        EXPECT_EQ(peer.ReadLine(), "type I");
        peer.Send("200 OK\r\n");
        EXPECT_EQ(peer.ReadLine(), "syst");
        peer.Send("500 What?\r\n");
        peer.WaitForClose();
    });
    FTP.Connect(true);
    EXPECT_EQ(FTP.SystemDescription(), "Unknown");
    FTP.Disconnect();
    Peer.Join();
}

TEST_F(ScriptedLogin, AccountRequestOrSyst502FailsAndDisconnects)
{
    for (const char *failure : {"332 Need account\r\n", "502 No syst\r\n"}) {
        const bool account = std::string(failure).rfind("332", 0) == 0;
        Peer.Serve([&](PeerSocket &peer) {
            peer.Send("220 Ready\r\n");
            peer.ReadLine();
            peer.Send("331 Password\r\n");
            peer.ReadLine();
            if (account) {
                peer.Send(failure);
            } else {
                peer.Send("230 In\r\n");
                peer.ReadLine();
                peer.Send("200 OK\r\n");
                peer.ReadLine();
                peer.Send(failure);
            }
            EXPECT_TRUE(peer.WaitForClose());
        });
        Events.clear();
        try {
            FTP.Connect(true);
            FAIL() << failure;
        } catch (const EIdProtocolReplyError &error) {
            EXPECT_EQ(std::string(error.what()) + "\r\n", failure);
        }
        EXPECT_FALSE(FTP.Connected());
        EXPECT_EQ(Events, (std::vector<std::string>{"connected", "disconnected"}));
        Peer.Join();
    }
}

TEST_F(ScriptedLogin, WithoutLoginOnlyTheGreetingIsRead)
{
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        peer.WaitForClose();
    });
    FTP.Connect(false);
    EXPECT_EQ(FTP.LastReplyLine(), "220 Ready");
    EXPECT_EQ(FTP.SystemDescription(), "");
    FTP.Disconnect();
    Peer.Join();
    EXPECT_EQ(Peer.Transcript(), "");
}

TEST_F(ScriptedLogin, WrongGreetingOrCloseDuringLoginDisconnects)
{
    Peer.Serve([](PeerSocket &peer) { peer.Send("421 Too many users\r\n"); });
    EXPECT_THROW(FTP.Connect(true), EIdProtocolReplyError);
    EXPECT_FALSE(FTP.Connected());
    Peer.Join();

    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        peer.ReadLine();
    });
    EXPECT_THROW(FTP.Connect(true), EIdConnClosedGracefully);
    EXPECT_FALSE(FTP.Connected());
    Peer.Join();
}

// Until logged in, an abort from another thread (the queue's Stop) ends
// whatever the connect waits for, with no time-out to end it: a server
// that never greets, a proxy that never answers, a server silent after
// USER. The next connect is not aborted by it.
TEST_F(ScriptedLogin, AnAbortEndsTheConnectWhereverItWaits)
{
    FTP.ReadTimeout = IdTimeoutInfinite;
    for (const std::string where : {"greeting", "proxy", "user"}) {
        SCOPED_TRACE(where);
        Peer.Serve([where](PeerSocket &peer) {
            if (where == "user") {
                peer.Send("220 Ready\r\n");
                peer.ReadLine();
            }
            peer.WaitForClose();
        });
        FTP.SocksInfo.Version = where == "proxy" ? svHttpConnect : svNoSocks;
        FTP.SocksInfo.Host = "127.0.0.1";
        FTP.SocksInfo.Port = Peer.Port();
        std::thread user([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            FTP.RequestAbort();
        });
        EXPECT_THROW(FTP.Connect(true), EIdTransferAborted);
        user.join();
        EXPECT_FALSE(FTP.Connected());
        Peer.Join();
    }
    FTP.SocksInfo.Version = svNoSocks;
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        peer.WaitForClose();
    });
    FTP.Connect(false);
    FTP.Disconnect();
    Peer.Join();
}

TEST_F(ScriptedLogin, TransferTypeIsSentOnlyOnARealChangeWhileConnected)
{
    FTP.SetTransferType(ftASCII);  // disconnected: stored only
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        peer.ReadLine();
        peer.Send("230 In\r\n");
        EXPECT_EQ(peer.ReadLine(), "type A");
        peer.Send("200 OK\r\n");
        peer.ReadLine();
        peer.Send("215 X\r\n");
        EXPECT_EQ(peer.ReadLine(), "type I");
        peer.Send("504 No binary here\r\n");
        peer.WaitForClose();
    });
    FTP.Connect(true);
    FTP.SetTransferType(ftASCII);  // same: nothing sent
    EXPECT_THROW(FTP.SetTransferType(ftBinary), EIdProtocolReplyError);
    EXPECT_EQ(FTP.TransferType(), ftBinary);  // stored before the refusal
    EXPECT_TRUE(FTP.Connected());

    TIdTCPConnection transfer;
    FTP.DataConnection = &transfer;  // a transfer runs: no change at all
    FTP.SetTransferType(ftASCII);
    EXPECT_EQ(FTP.TransferType(), ftBinary);
    FTP.DataConnection = nullptr;
    FTP.Disconnect();
    Peer.Join();
}

TEST_F(ScriptedLogin, ConnectingTwiceSaysAlreadyConnectedAndDisconnects)
{
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        peer.WaitForClose();
    });
    FTP.Connect(false);
    try {
        FTP.Connect(false);
        FAIL();
    } catch (const EIdAlreadyConnected &error) {
        EXPECT_STREQ(error.what(), "Already connected.");
    }
    EXPECT_FALSE(FTP.Connected());
    Peer.Join();
}

TEST(ConnectStatus, NamesAreResolvedAloudAndRefusalsDisconnect)
{
    ScriptedPeer peer;
    peer.Serve([](PeerSocket &p) { p.Send("220 Ready\r\n"); });
    TIdFTP ftp;
    std::vector<std::string> statuses;
    ftp.OnStatus = [&](TIdComponent *, TIdStatus, const std::string &text) { statuses.push_back(text); };
    ftp.Host = "LocalHost";
    ftp.Port = peer.Port();
    ftp.Connect(false);
    ftp.Disconnect();
    peer.Join();
    EXPECT_EQ(statuses, (std::vector<std::string>{"Resolving hostname LocalHost.", "Connecting to 127.0.0.1.",
                                                  "Connected.", "Disconnecting from 127.0.0.1.", "Not connected."}));

    const int closedPort = FreeLoopbackPort();
    statuses.clear();
    int disconnected = 0;
    ftp.OnDisconnected = [&](TIdTCPConnection *) { ++disconnected; };
    ftp.Host = "127.0.0.1";
    ftp.Port = closedPort;
    try {
        ftp.Connect(true);
        FAIL();
    } catch (const EIdSocketError &error) {
        EXPECT_EQ(error.LastError, 10061);
        EXPECT_STREQ(error.what(), "Socket Error # 10061\r\nConnection refused.");
    }
    EXPECT_EQ(statuses, (std::vector<std::string>{"Connecting to 127.0.0.1.", "Disconnecting from 127.0.0.1.",
                                                  "Not connected."}));
    EXPECT_EQ(disconnected, 1);
}

// ---- a real server ----------------------------------------------------------------

class RealServer : public ::testing::Test {
protected:
    RealServer()
    {
        FTP.Host = "127.0.0.1";
        FTP.Port = Server.Port();
    }
    FtpServer Server;
    TIdFTP FTP;
};

TEST_F(RealServer, LogsInWithUserAndPassword)
{
    FTP.User = FtpServer::User;
    FTP.Password = FtpServer::Password;
    FTP.SetRecvBufferSize(8192);
    FTP.SendBufferSize = 1024;
    FTP.Connect(true);
    EXPECT_EQ(FTP.ReplyCode, 215);
    EXPECT_EQ(FTP.SystemDescription(), " UNIX Type: L8");
    FTP.SetTransferType(ftASCII);
    EXPECT_EQ(FTP.ReplyCode, 200);
    EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200);
    FTP.Disconnect();
    EXPECT_FALSE(FTP.Connected());
}

TEST_F(RealServer, LogsInAnonymously)
{
    FTP.User = "anonymous";
    FTP.Password = "guest@example.org";
    FTP.Connect(true);
    EXPECT_TRUE(FTP.Connected());
    FTP.Disconnect();
}

TEST_F(RealServer, AWrongPasswordFailsWith530AndDisconnects)
{
    FTP.User = FtpServer::User;
    FTP.Password = "wrong";
    try {
        FTP.Connect(true);
        FAIL();
    } catch (const EIdProtocolReplyError &error) {
        EXPECT_EQ(error.ReplyCode, 530);
    }
    EXPECT_FALSE(FTP.Connected());
}

}  // namespace

namespace {

// A listener whose accept queue is full: the kernel drops further SYNs, so
// a connect to it waits as one to a server that does not answer.
class SilentListener {
public:
    SilentListener()
    {
        FListener = ListenLoopback(0, Port);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(uint16_t(Port));
        // Fill the queue (a backlog of 0 still holds one) and wait till it is.
        for (int i = 0; i < 2; ++i) {
            const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
            ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
            FFillers.push_back(fd);
        }
        pollfd ready{FListener, POLLIN, 0};
        ::poll(&ready, 1, 5000);
    }
    ~SilentListener()
    {
        for (int fd : FFillers)
            ::close(fd);
        ::close(FListener);
    }
    int Port = 0;

private:
    int FListener;
    std::vector<int> FFillers;
};


// A connect to a server that never takes it, with the window's pump.
class SlicedConnect : public ::testing::Test {
protected:
    SlicedConnect()
    {
        antiFreeze.IdleTimeOut = 10;
        ftp.Host = "127.0.0.1";
        ftp.Port = silent.Port;
    }
    SilentListener silent;
    CountingAntiFreeze antiFreeze;
    TIdFTP ftp;
};

TEST_F(SlicedConnect, AServerThatDoesNotAnswerTimesOutWhileTheWindowPumps)
{
    ftp.ConnectTimeout = 300;
    try {
        ftp.Connect(true);
        FAIL() << "connected";
    } catch (const EIdSocketError &error) {
        EXPECT_EQ(error.LastError, 10060);
        EXPECT_STREQ(error.what(), "Socket Error # 10060\r\nConnection timed out.");
    }
    EXPECT_GT(antiFreeze.Pumps, 1);
    EXPECT_FALSE(ftp.Connected());
}

TEST_F(SlicedConnect, DisconnectFromAHandlerAbandonsTheConnect)
{
    antiFreeze.OnPump = [&] {
        if (antiFreeze.Pumps == 3)
            ftp.Disconnect();
    };
    EXPECT_THROW(ftp.Connect(true), EIdConnClosedGracefully);
    EXPECT_FALSE(ftp.Connected());
}

}  // namespace

namespace {

// FEAT after the login where asked: a server that offers MLST lists by
// MLSD, and the entries are those LIST gives (sizes, folders, names); one
// that offers UTF8 is asked for it.
TEST_F(RealServer, FeaturesLeadToMachineListingsOfTheSameEntries)
{
    std::filesystem::create_directories(Server.Root().Path() / "facts" / "sub folder");
    std::ofstream(Server.Root().Path() / "facts" / "a file.txt") << "twelve bytes";
    FTP.User = FtpServer::User;
    FTP.Password = FtpServer::Password;
    const auto entries = [this](bool features) {
        FTP.AskFeatures = features;
        FTP.Connect(true);
        FTP.EnterFolder("/facts");
        std::vector<std::string> lines;
        FTP.List(lines, "", true);
        std::map<std::string, std::pair<bool, int64_t>> found;
        for (const std::string &line : lines)
            if (const TListingEntry entry = ParseListingLine(line); !entry.Skip)
                found[entry.Name] = {entry.IsFolder, entry.Size};
        FTP.Disconnect();
        return found;
    };
    const auto listed = entries(false);
    EXPECT_FALSE(FTP.Features().MachineListing);
    EXPECT_EQ(entries(true), listed);
    EXPECT_TRUE(FTP.Features().MachineListing);
    EXPECT_TRUE(FTP.Features().Utf8);
    EXPECT_EQ(listed, (std::map<std::string, std::pair<bool, int64_t>>{{"a file.txt", {false, 12}},
                                                                       {"sub folder", {true, -1}}}));
}

// UTF-8 names are asked for as the session's charset says: where FEAT
// offered them, always (a transfer's connection, which asks no FEAT), or
// never (a charset of the server's own).
TEST(Features, Utf8NamesAreAskedForAsTheCharsetSays)
{
    const struct {
        bool AskFeatures, Offered;
        TIdFTP::TNamesUtf8 Names;
        bool Asked;
    } rows[] = {
        {true, true, TIdFTP::nuWhenOffered, true},  {true, false, TIdFTP::nuWhenOffered, false},
        {false, true, TIdFTP::nuWhenOffered, false}, {false, false, TIdFTP::nuAlways, true},
        {true, true, TIdFTP::nuNever, false},
    };
    for (const auto &row : rows) {
        ScriptedPeer peer;
        peer.Serve([&row](PeerSocket &p) {
            p.Send("220 Ready\r\n");
            const std::map<std::string, std::string> replies{
                {"USER", "331 Password\r\n"}, {"PASS", "230 In\r\n"}, {"TYPE", "200 Ok\r\n"},
                {"SYST", "215 UNIX\r\n"}, {"OPTS", "200 Always in UTF8 mode.\r\n"},
                {"FEAT", row.Offered ? "211-Features:\r\n UTF8\r\n211 End\r\n" : "211-Features:\r\n MDTM\r\n211 End\r\n"}};
            for (;;) {
                const std::string line = p.ReadLine();
                std::string verb = line.substr(0, line.find(' '));
                std::transform(verb.begin(), verb.end(), verb.begin(), ::toupper);
                if (verb == "QUIT")
                    return p.Send("221 Bye\r\n");
                p.Send(replies.at(verb));
            }
        });
        TIdFTP ftp;
        ftp.Host = "127.0.0.1";
        ftp.Port = peer.Port();
        ftp.User = "user";
        ftp.Password = "secret";
        ftp.AskFeatures = row.AskFeatures;
        ftp.NamesUtf8 = row.Names;
        ftp.Connect(true);
        ftp.Quit();
        peer.Join();
        EXPECT_EQ(peer.Transcript().find("OPTS UTF8 ON") != std::string::npos, row.Asked)
            << row.AskFeatures << row.Offered << row.Names;
    }
}

TEST(Features, ReadFromTheLinesOfTheReply)
{
    const struct {
        std::vector<std::string> Reply;
        bool Machine, Utf8;
        // The facts asked for, where the permission bits are not sent
        // unasked.
        std::string Facts = {};
    } rows[] = {
        {{"211-Features:", " MDTM", " MLST type*;size*;modify*;", " UTF8", "211 End"}, true, true},
        {{"211-Features:", " mlst type*;", "211 End"}, true, false},
        {{"211-Extensions supported:", "211-MLST size*;", "211-UTF8", "211 END"}, true, true},
        {{"211-Features:", " MLSTX", " UTF8ON", "211 MLST UTF8"}, false, false},  // names exactly; not the end line
        {{"211 No features"}, false, false},
        {{"211-Features:", " MLST type*;perm*;size*;modify*;unique*;unix.mode;unix.uid;", "211 End"}, true, false,
         "type;perm;size;modify;unique;unix.mode;"},
        {{"211-Features:", " MLST type*;size*;UNIX.mode*;", "211 End"}, true, false},
    };
    for (const auto &row : rows) {
        const TIdFTPFeatures features = TIdFTPFeatures::Parse(row.Reply);
        EXPECT_EQ(features.MachineListing, row.Machine) << row.Reply.front();
        EXPECT_EQ(features.Utf8, row.Utf8) << row.Reply.front();
        EXPECT_EQ(features.MachineFactsRequest, row.Facts) << row.Reply[1];
    }
    // proftpd's hashes and data commands; none where nothing is offered.
    const TIdFTPFeatures proftpd = TIdFTPFeatures::Parse(
        {"211-Features:", " EPRT", " EPSV", " HASH CRC32;MD5;SHA-1*;sha-256;", " XCRC", " XMD5", " XSHA256", "211 End"});
    EXPECT_EQ(proftpd.Hashes, (std::vector<std::string>{"CRC32", "MD5", "SHA-1", "SHA-256"}));
    EXPECT_EQ(proftpd.HashChosen, "SHA-1");
    EXPECT_EQ(proftpd.HashCommands, (std::vector<std::string>{"XCRC", "XMD5", "XSHA256"}));
    EXPECT_TRUE(proftpd.ExtendedPassive && proftpd.ExtendedPort);
    const TIdFTPFeatures plain = TIdFTPFeatures::Parse({"211-Features:", " MDTM", "211 End"});
    EXPECT_TRUE(plain.Hashes.empty() && plain.HashCommands.empty() && !plain.ExtendedPassive);
}

}  // namespace
