// SOCKS 4, 4A and 5: exact bytes against a scripted proxy, and logins
// through real proxies (Dante for 4 and 5, microsocks for 5 with a
// password) in front of a real FTP server.
#include "FtpServerFixture.h"
#include "IdException.h"
#include "IdFTP.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>

namespace {

std::string Bytes(std::initializer_list<int> values)
{
    std::string bytes;
    for (int value : values)
        bytes += char(value);
    return bytes;
}

class ScriptedProxy : public ::testing::Test {
protected:
    ScriptedProxy()
    {
        Client.SocksInfo.Host = "127.0.0.1";
        Client.SocksInfo.Port = Proxy.Port();
        Client.Port = 21;
        Client.OnStatus = [this](TIdComponent *, TIdStatus, const std::string &text) { Statuses.push_back(text); };
    }
    ScriptedPeer Proxy;
    TIdTCPClient Client;
    std::vector<std::string> Statuses;
};

TEST_F(ScriptedProxy, Socks4SendsNineBytesForAnAddress)
{
    Client.SocksInfo.Version = svSocks4;
    Client.Host = "10.1.2.3";
    Proxy.Serve([](PeerSocket &peer) {
        EXPECT_EQ(peer.Read(9), Bytes({4, 1, 0, 21, 10, 1, 2, 3, 0}));
        peer.Send(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
        peer.Send("220 through\r\n");
        peer.WaitForClose();
    });
    Client.Connect();
    EXPECT_EQ(Client.ReadLine(), "220 through");
    Client.Disconnect();
    Proxy.Join();
    EXPECT_EQ(Statuses.at(0), "Connecting to 127.0.0.1.");  // the proxy: a dotted quad, nothing resolved
    EXPECT_EQ(Statuses.at(1), "Connected.");
}

TEST_F(ScriptedProxy, Socks4ASendsTheNameForTheProxyToResolve)
{
    Client.SocksInfo.Version = svSocks4A;
    Client.SocksInfo.UserID = "";
    Client.Host = "ftp";
    Proxy.Serve([](PeerSocket &peer) {
        EXPECT_EQ(peer.Read(13), Bytes({4, 1, 0, 21, 0, 0, 0, 1, 0, 'f', 't', 'p', 0}));
        peer.Send(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
        peer.WaitForClose();
    });
    Client.Connect();
    Client.Disconnect();
    Proxy.Join();
    EXPECT_EQ(Proxy.Transcript().size(), 13u);
}

TEST_F(ScriptedProxy, Socks4UserIdIsSentAndCut)
{
    Client.SocksInfo.Version = svSocks4;
    Client.SocksInfo.UserID = std::string(300, 'u');
    Client.Host = "127.0.0.1";
    Proxy.Serve([](PeerSocket &peer) {
        const std::string request = peer.Read(8 + 255 + 1);
        EXPECT_EQ(request.substr(8), std::string(255, 'u') + '\0');
        peer.Send(Bytes({0, 90, 0, 0, 0, 0, 0, 0}));
        peer.WaitForClose();
    });
    Client.Connect();
    Client.Disconnect();
    Proxy.Join();
}

TEST_F(ScriptedProxy, Socks4RejectionsLeaveTheClientConnectedToTheProxy)
{
    Client.SocksInfo.Version = svSocks4;
    Client.Host = "127.0.0.1";
    const std::pair<int, const char *> codes[] = {
        {91, "Request rejected or failed."},
        {92, "Request rejected because SOCKS server cannot connect."},
        {93, "Request rejected because the client program and identd report different user-ids."},
        {17, "Unknown socks error."},
    };
    for (const auto &[code, message] : codes) {
        Proxy.Serve([code = code](PeerSocket &peer) {
            peer.Read(9);
            peer.Send(Bytes({0, code, 0, 0, 0, 0, 0, 0}));
            peer.WaitForClose();
        });
        try {
            Client.Connect();
            FAIL() << code;
        } catch (const EIdSocksError &error) {
            EXPECT_STREQ(error.what(), message);
        }
        EXPECT_TRUE(Client.Connected());
        Client.Disconnect();
        Proxy.Join();
    }
}

TEST_F(ScriptedProxy, Socks5WithoutAuthenticationExchangesExactlyItsBytes)
{
    Client.SocksInfo.Version = svSocks5;
    Client.Host = "files.example";
    Proxy.Serve([](PeerSocket &peer) {
        EXPECT_EQ(peer.Read(3), Bytes({5, 1, 0}));
        peer.Send(Bytes({5, 0}));
        EXPECT_EQ(peer.Read(7 + 13), Bytes({5, 1, 0, 3, 13}) + "files.example" + Bytes({0, 21}));
        peer.Send(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 21}));
        peer.Send("220 via socks 5\r\n");
        peer.WaitForClose();
    });
    Client.Connect();
    EXPECT_EQ(Client.ReadLine(), "220 via socks 5");
    EXPECT_EQ(Statuses.back(), "Connected.");
    Client.Disconnect();
    Proxy.Join();
    EXPECT_EQ(Proxy.Transcript().size(), 3u + 7u + 13u);
}

TEST_F(ScriptedProxy, AnIPv6ServerGoesAsItsSixteenBytesAndNotBySocks4)
{
    Client.SocksInfo.Version = svSocks5;
    Client.Host = "2001:db8::7";
    Proxy.Serve([](PeerSocket &peer) {
        EXPECT_EQ(peer.Read(3), Bytes({5, 1, 0}));
        peer.Send(Bytes({5, 0}));
        EXPECT_EQ(peer.Read(4 + 16 + 2), Bytes({5, 1, 0, 4, 0x20, 0x01, 0x0d, 0xb8}) + std::string(11, '\0') +
                                             Bytes({7, 0, 21}));
        peer.Send(Bytes({5, 0, 0, 1, 127, 0, 0, 1, 0, 21}));
        peer.WaitForClose();
    });
    Client.Connect();
    Client.Disconnect();
    Proxy.Join();
    Client.SocksInfo.Version = svSocks4;
    Proxy.Serve([](PeerSocket &peer) { peer.WaitForClose(); });
    EXPECT_THROW(Client.Connect(), EIdSocksError);
    Client.Disconnect();
    Proxy.Join();
}

// An HTTP proxy's tunnel: CONNECT with the server's address (and Basic
// authentication where a user is given); what follows the reply's blank
// line is the server's. A refusal says the proxy's status.
TEST_F(ScriptedProxy, HttpConnectOpensATunnelOrSaysWhyNot)
{
    const struct {
        const char *What;
        std::string User, Host, Request, Reply, Error;
    } cases[] = {
        {"open", "", "files.example", "CONNECT files.example:21 HTTP/1.1\r\nHost: files.example:21\r\n\r\n",
         "HTTP/1.1 200 Connection established\r\nProxy-Agent: test\r\n\r\n220 via http\r\n", ""},
        {"with a user, to IPv6", "ann", "::1",
         "CONNECT [::1]:21 HTTP/1.1\r\nHost: [::1]:21\r\nProxy-Authorization: Basic YW5uOnNlc2FtZQ==\r\n\r\n",
         "HTTP/1.0 200 OK\r\n\r\n220 via http\r\n", ""},
        {"no password", "", "files.example", "CONNECT files.example:21 HTTP/1.1\r\nHost: files.example:21\r\n\r\n",
         "HTTP/1.0 407 Proxy Authentication Required\r\n\r\n",
         "The HTTP proxy wants a user name and password it takes (407 Proxy Authentication Required)."},
        {"forbidden", "", "files.example", "CONNECT files.example:21 HTTP/1.1\r\nHost: files.example:21\r\n\r\n",
         "HTTP/1.1 403 Forbidden\r\n\r\n", "The HTTP proxy refused the connection (403 Forbidden)."},
        {"four digits", "", "files.example", "CONNECT files.example:21 HTTP/1.1\r\nHost: files.example:21\r\n\r\n",
         "HTTP/1.1 2000 OK\r\n\r\n", "The HTTP proxy's answer is not HTTP: HTTP/1.1 2000 OK"},
        {"headers without end", "", "files.example",
         "CONNECT files.example:21 HTTP/1.1\r\nHost: files.example:21\r\n\r\n", [] {
             std::string reply = "HTTP/1.1 200 OK\r\n";
             for (int i = 0; i < 150; ++i)
                 reply += "X-Pad: " + std::to_string(i) + "\r\n";
             return reply;
         }(),
         "The HTTP proxy's answer does not end (more than 100 lines or 64 KiB)."},
    };
    for (const auto &test : cases) {
        SCOPED_TRACE(test.What);
        Client.SocksInfo.Version = svHttpConnect;
        Client.SocksInfo.UserID = test.User;
        Client.SocksInfo.Password = "sesame";
        Client.Host = test.Host;
        Proxy.Serve([&test](PeerSocket &peer) {
            EXPECT_EQ(peer.Read(test.Request.size()), test.Request);
            peer.Send(test.Reply);
            peer.WaitForClose();
        });
        if (test.Error.empty()) {
            Client.Connect();
            EXPECT_EQ(Client.ReadLine(), "220 via http");
        } else {
            try {
                Client.Connect();
                ADD_FAILURE() << "connected";
            } catch (const EIdHttpProxyError &error) {
                EXPECT_EQ(error.what(), test.Error);
            }
        }
        Client.Disconnect();
        Proxy.Join();
    }
}

TEST_F(ScriptedProxy, Socks5ReplyAddressTypesAreSkippedExactly)
{
    Client.SocksInfo.Version = svSocks5;
    Client.Host = "127.0.0.1";  // sent as a name all the same
    const std::string replies[] = {
        Bytes({5, 0, 0, 1, 10, 0, 0, 1, 0, 21}),
        Bytes({5, 0, 0, 3, 9}) + "proxy.lan" + Bytes({0, 21}),
        Bytes({5, 0, 0, 4}) + std::string(16, '\x01') + Bytes({0, 21}),
        Bytes({5, 0, 0, 9, 7, 0, 21}),
    };
    for (const std::string &reply : replies) {
        Proxy.Serve([&](PeerSocket &peer) {
            peer.Read(3);
            peer.Send(Bytes({5, 0}));
            EXPECT_EQ(peer.Read(7 + 9), Bytes({5, 1, 0, 3, 9}) + "127.0.0.1" + Bytes({0, 21}));
            peer.Send(reply + "220 first line intact\r\n");
            peer.WaitForClose();
        });
        Client.Connect();
        EXPECT_EQ(Client.ReadLine(), "220 first line intact");
        Client.Disconnect();
        Proxy.Join();
    }
}

TEST_F(ScriptedProxy, Socks5UserAndPassword)
{
    Client.SocksInfo.Version = svSocks5;
    Client.SocksInfo.Authentication = saUsernamePassword;
    Client.SocksInfo.UserID = "bob";
    Client.SocksInfo.Password = "pa55";
    Client.Host = "h";
    Proxy.Serve([](PeerSocket &peer) {
        EXPECT_EQ(peer.Read(3), Bytes({5, 1, 2}));
        peer.Send(Bytes({5, 2}));
        EXPECT_EQ(peer.Read(3 + 3 + 4), Bytes({1, 3}) + "bob" + Bytes({4}) + "pa55");
        peer.Send(Bytes({1, 1}));
        peer.WaitForClose();
    });
    try {
        Client.Connect();
        FAIL();
    } catch (const EIdSocksAuthError &error) {
        EXPECT_STREQ(error.what(), "Authentication error to socks server.");
    }
    Client.Disconnect();
    Proxy.Join();
}

TEST_F(ScriptedProxy, Socks5RefusalsAndSilence)
{
    Client.SocksInfo.Version = svSocks5;
    Client.Host = "h";

    Proxy.Serve([](PeerSocket &peer) {
        peer.Read(3);
        peer.Send(Bytes({5, 255}));
        peer.WaitForClose();
    });
    try {
        Client.Connect();
        FAIL();
    } catch (const EIdSocksAuthMethodError &error) {
        EXPECT_STREQ(error.what(), "Invalid socks authentication method.");
    }
    Client.Disconnect();
    Proxy.Join();

    const std::pair<int, const char *> codes[] = {
        {1, "General SOCKS server failure."}, {2, "Connection not allowed by ruleset."},
        {3, "Network unreachable."},         {4, "Host unreachable."},
        {5, "Connection refused."},          {6, "TTL expired."},
        {7, "Command not supported."},       {8, "Address type not supported."},
        {9, "Unknown socks error."},
    };
    for (const auto &[code, message] : codes) {
        Proxy.Serve([code = code](PeerSocket &peer) {
            peer.Read(3);
            peer.Send(Bytes({5, 0}));
            peer.Read(7 + 1);
            peer.Send(Bytes({5, code, 0, 1, 0}));
            peer.WaitForClose();
        });
        try {
            Client.Connect();
            FAIL();
        } catch (const EIdSocksError &error) {
            EXPECT_STREQ(error.what(), message);
        }
        Client.Disconnect();
        Proxy.Join();
    }

    Proxy.Serve([](PeerSocket &peer) { peer.Read(3); });  // and hangs up
    try {
        Client.Connect();
        FAIL();
    } catch (const EIdSocksServerRespondError &error) {
        EXPECT_STREQ(error.what(), "Socks server did not respond.");
    }
    Proxy.Join();
}

// A proxy that sends part of its reply and closes: the connect ends with
// the close (SOCKS 4) or with "Socks server did not respond." (SOCKS 5),
// never by asking for the rest for ever.
TEST_F(ScriptedProxy, AReplyCutShortEndsTheConnect)
{
    Client.Host = "10.1.2.3";
    const struct {
        TSocksVersion Version;
        int RequestBytes;
        std::string Reply;
        const char *Message;
    } cases[] = {
        {svSocks4, 9, Bytes({0, 90, 0}), "Connection Closed Gracefully."},
        {svSocks5, 3, Bytes({5}), "Socks server did not respond."},
        {svSocks5, 3, Bytes({5, 0}) + "\x05\x00\x00", "Socks server did not respond."},
    };
    for (const auto &test : cases) {
        Client.SocksInfo.Version = test.Version;
        const bool secondStep = test.Reply.size() > 2 && test.Version == svSocks5;
        Proxy.Serve([&test, secondStep](PeerSocket &peer) {
            peer.Read(size_t(test.RequestBytes));
            peer.Send(secondStep ? test.Reply.substr(0, 2) : test.Reply);
            if (secondStep) {
                peer.Read(10);
                peer.Send(test.Reply.substr(2));
            }
            peer.Close();
        });
        try {
            Client.Connect();
            ADD_FAILURE() << test.Message;
        } catch (const EIdException &error) {
            EXPECT_STREQ(error.what(), test.Message);
        }
        Client.Disconnect();
        Proxy.Join();
    }
}

TEST_F(ScriptedProxy, OverlongValuesAreRefusedBeforeAnythingIsSent)
{
    Client.SocksInfo.Version = svSocks5;
    Client.Host = std::string(256, 'h');
    Proxy.Serve([](PeerSocket &peer) { peer.WaitForClose(); });
    EXPECT_THROW(Client.Connect(), EIdSocksError);
    Client.Disconnect();
    Proxy.Join();
    EXPECT_EQ(Proxy.Transcript(), "");
}

// ---- real proxies ------------------------------------------------------------------

// Logs in through the proxy and lists in passive mode, the data
// connection going through the proxy too: the server's root holds
// seen.txt.
void LogInAndListThrough(const FtpServer &server, const std::string &host, const TSocksInfo &proxy)
{
    TIdFTP ftp;
    ftp.Host = host;
    ftp.Port = server.Port();
    ftp.User = FtpServer::User;
    ftp.Password = FtpServer::Password;
    ftp.Passive = true;
    ftp.SocksInfo = proxy;
    ftp.Connect(true);
    EXPECT_EQ(ftp.SystemDescription(), " UNIX Type: L8");
    std::vector<std::string> lines;
    ftp.List(lines, "", true);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string &line) { return line.ends_with(" seen.txt"); }));
    ftp.Disconnect();
}

class RealProxy : public ::testing::Test {
protected:
    RealProxy() { std::ofstream(Server.Root().File("seen.txt")) << "x"; }
    void LogInThrough(int proxyPort, TSocksVersion version)
    {
        TSocksInfo proxy = Socks;
        proxy.Host = "localhost";
        proxy.Port = proxyPort;
        proxy.Version = version;
        LogInAndListThrough(Server, "127.0.0.1", proxy);
    }
    FtpServer Server;
    TSocksInfo Socks;
};

TEST_F(RealProxy, Socks4AndSocks5ThroughDante)
{
    const auto dante = SocksProxy::Dante();
    LogInThrough(dante->Port(), svSocks4);
    LogInThrough(dante->Port(), svSocks5);
}

TEST_F(RealProxy, Socks5ThroughMicrosocksWithAndWithoutPassword)
{
    const auto open = SocksProxy::MicroSocks();
    LogInThrough(open->Port(), svSocks5);

    const auto guarded = SocksProxy::MicroSocks("proxyuser", "proxypass");
    Socks.Authentication = saUsernamePassword;
    Socks.UserID = "proxyuser";
    Socks.Password = "proxypass";
    LogInThrough(guarded->Port(), svSocks5);

    Socks.Password = "wrong";
    EXPECT_THROW(LogInThrough(guarded->Port(), svSocks5), EIdSocksError);
}

// Through tinyproxy, with and without a password; a wrong one is refused
// in the proxy's words.
TEST_F(RealProxy, HttpConnectThroughTinyproxyWithAndWithoutPassword)
{
    const auto open = SocksProxy::Tinyproxy();
    LogInThrough(open->Port(), svHttpConnect);
    const auto guarded = SocksProxy::Tinyproxy("proxyuser", "proxypass");
    Socks.UserID = "proxyuser";
    Socks.Password = "proxypass";
    LogInThrough(guarded->Port(), svHttpConnect);
    Socks.Password = "wrong";
    try {
        LogInThrough(guarded->Port(), svHttpConnect);
        ADD_FAILURE() << "connected";
    } catch (const EIdHttpProxyError &error) {
        EXPECT_EQ(std::string(error.what()), "The HTTP proxy wants a user name and password it takes (401 Unauthorized).");
    }
}

// A server on IPv6 through an IPv4 proxy: the data connections go by EPSV
// too, as the server's address is IPv6.
TEST(RealProxy6, AnIPv6ServerListsThroughMicrosocks)
{
    FtpServer server("::1");
    std::ofstream(server.Root().File("seen.txt")) << "x";
    const auto proxy = SocksProxy::MicroSocks();
    TSocksInfo socks;
    socks.Host = "127.0.0.1";
    socks.Port = proxy->Port();
    socks.Version = svSocks5;
    LogInAndListThrough(server, "::1", socks);
}

}  // namespace
