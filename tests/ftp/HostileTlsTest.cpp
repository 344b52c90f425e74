// FTP over TLS against a scripted server that does what a man in the
// middle would: bytes in clear that must not pass for encrypted ones, and
// data connections cut without TLS's close_notify while the server's 226
// still says all went well. The real servers' side of it (each ends its
// data connections with close_notify) is in TlsTest.cpp.
#include "IdException.h"
#include "IdFTP.h"
#include "IdStream.h"
#include "IdTCPClient.h"
#include "PeerTls.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>
#include <filesystem>
#include <memory>

namespace {

constexpr const char *EarlyData = "The server sent data before encryption began.";
constexpr const char *Cut = "The data connection was cut before its end.";
constexpr const char *Vouched = "The server ends its data connections without closing TLS";

// One session: a scripted server over TLS and a client that trusts its
// certificate, in passive mode.
struct Session {
    explicit Session(std::function<void(PeerSocket &)> script)
    {
        Server.Serve(std::move(script));
        FTP.Host = "127.0.0.1";
        FTP.Port = Server.Port();
        FTP.User = "u";
        FTP.Password = "p";
        FTP.UseTLS = utUseExplicitTLS;
        FTP.Passive = true;
        FTP.OnVerifyCertificate = [](const TIdCertificateInfo &) { return true; };
        FTP.OnStatus = [this](TIdComponent *, TIdStatus, const std::string &text) { Said.push_back(text); };
    }
    ~Session()
    {
        FTP.OnStatus = nullptr;
        FTP.Disconnect();
        Server.Join();
    }
    size_t TimesSaid(const std::string &start) const
    {
        return size_t(std::count_if(Said.begin(), Said.end(), [&](const std::string &text) { return text.starts_with(start); }));
    }

    ScriptedPeer Server;
    TIdFTP FTP;
    std::vector<std::string> Said;
};

class HostileTls : public ::testing::Test {
protected:
    // The server's side of the login over TLS. `behind` goes out in the
    // same write as the reply to the command `tampered`; the login stops
    // there, as the client should.
    static std::unique_ptr<PeerTls> Login(PeerSocket &peer, const PeerTlsContext &context,
                                          const std::string &tampered = {}, const std::string &behind = {})
    {
        peer.Send("220 Ready\r\n");
        EXPECT_EQ(peer.ReadLine(), "AUTH TLS");
        if (tampered == "AUTH TLS") {
            peer.Send("234 Go ahead\r\n" + behind);
            return nullptr;
        }
        peer.Send("234 Go ahead\r\n");
        auto control = std::make_unique<PeerTls>(context, peer.Fd());
        const std::pair<const char *, const char *> steps[] = {
            {"user u", "331 Password please\r\n"}, {"pass p", "230 In\r\n"},   {"PBSZ 0", "200 PBSZ=0\r\n"},
            {"PROT P", "200 Protection set\r\n"},  {"type I", "200 Type I\r\n"}, {"syst", "215 UNIX Type: L8\r\n"},
        };
        for (const auto &[command, reply] : steps) {
            EXPECT_EQ(control->ReadLine(), command);
            if (command == tampered) {
                control->Send(reply + behind);
                return nullptr;
            }
            control->Send(reply);
        }
        return control;
    }

    // The server's side of one passive transfer over TLS: `data` goes out,
    // and the data connection ends with the goodbye or is cut; the server
    // says 226 either way.
    static void Serve(PeerTls &control, const PeerTlsContext &context, const std::string &command,
                      const std::string &data, bool goodbye)
    {
        int port = 0;
        const int listener = ListenLoopback(1, port);
        EXPECT_EQ(control.ReadLine(), "PASV");
        control.Send(PassiveReply(port));
        EXPECT_EQ(control.ReadLine(), command);
        PeerSocket connection(::accept(listener, nullptr, nullptr));
        ::close(listener);
        control.Send("150 Here it comes\r\n");
        {
            PeerTls tls(context, connection.Fd());
            tls.Send(data);
            if (goodbye)
                tls.CloseNotify();
        }
        connection.Close();
        control.Send("226 Transfer complete\r\n");
    }

    PeerTlsContext Context;
};

// What comes behind a reply before encryption is in place never counts as
// an encrypted answer: the connection is dropped before the next command.
TEST_F(HostileTls, BytesInClearBehindTheSwitchEndTheConnect)
{
    const struct {
        const char *Tampered;
        const char *Behind;
    } rows[] = {
        {"AUTH TLS", "331 Password please\r\n"},  // the client would send its password next
        {"PBSZ 0", "200 Protection set\r\n"},
        {"PROT P", "200 Type I\r\n"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Tampered);
        Session session([this, &row](PeerSocket &peer) {
            Login(peer, Context, row.Tampered, row.Behind);
            EXPECT_TRUE(peer.WaitForClose());
        });
        try {
            session.FTP.Connect(true);
            ADD_FAILURE() << "the login went on";
        } catch (const EIdTLSError &error) {
            EXPECT_STREQ(error.what(), EarlyData);
        }
        EXPECT_FALSE(session.FTP.Connected());
    }
}

// A data connection's first bytes are the client's hello: a server that
// speaks first in clear fails the transfer, and the session stays in step.
TEST_F(HostileTls, ADataConnectionThatSpeaksFirstIsRefused)
{
    Session session([this](PeerSocket &peer) {
        const auto control = Login(peer, Context);
        int port = 0;
        const int listener = ListenLoopback(1, port);
        EXPECT_EQ(control->ReadLine(), "PASV");
        control->Send(PassiveReply(port));
        EXPECT_EQ(control->ReadLine(), "retr f");
        PeerSocket data(::accept(listener, nullptr, nullptr));
        ::close(listener);
        data.Send("forged file contents");
        control->Send("150 Here it comes\r\n");
        EXPECT_TRUE(data.WaitForClose());
        control->Send("426 Connection closed; transfer aborted\r\n");
        EXPECT_EQ(control->ReadLine(), "NOOP");
        control->Send("200 Still here\r\n");
    });
    session.FTP.Connect(true);
    TMemoryStream received;
    try {
        session.FTP.Get("f", &received);
        ADD_FAILURE() << "the transfer went on";
    } catch (const EIdTLSError &error) {
        EXPECT_STREQ(error.what(), EarlyData);
    }
    EXPECT_EQ(received.Size(), 0);
    EXPECT_EQ(session.FTP.SendCommand("NOOP", 200), 200);
}

// Only TLS's close_notify ends a download; without it, the file's size
// (given, or asked with SIZE) must show that all of it came, and the log
// hears so.
TEST_F(HostileTls, ADownloadEndsOnlyWithTheGoodbyeOrItsWholeSize)
{
    const std::string whole(100000, 'x');
    const std::string half = whole.substr(0, whole.size() / 2);
    const struct {
        const char *Case;
        bool Goodbye;
        const std::string &Sent;
        int64_t Size;          // what the caller knows, -1: nothing
        const char *SizeReply;  // the answer to SIZE, when it is asked
        bool Whole;
    } rows[] = {
        {"the goodbye", true, half, -1, nullptr, true},  // a short file: what the server says it is
        {"cut, SIZE refused", false, half, -1, "550 SIZE not allowed\r\n", false},
        {"cut, SIZE larger", false, half, -1, "213 100000\r\n", false},
        {"cut, the listing's size larger", false, half, 100000, nullptr, false},
        {"cut, whole by SIZE", false, whole, -1, "213 100000\r\n", true},
        {"cut, whole by the listing's size", false, whole, 100000, nullptr, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Case);
        Session session([this, &row](PeerSocket &peer) {
            const auto control = Login(peer, Context);
            Serve(*control, Context, "retr f", row.Sent, row.Goodbye);
            if (row.SizeReply) {
                EXPECT_EQ(control->ReadLine(), "SIZE f");
                control->Send(row.SizeReply);
            }
            EXPECT_EQ(control->ReadLine(), "NOOP");
            control->Send("200 Still here\r\n");
        });
        session.FTP.Connect(true);
        TMemoryStream received;
        try {
            session.FTP.Get("f", &received, 0, row.Size);
            EXPECT_TRUE(row.Whole) << "a cut download was taken";
        } catch (const EIdDataConnectionCut &error) {
            EXPECT_FALSE(row.Whole) << "a whole download was refused";
            EXPECT_STREQ(error.what(), Cut);
        }
        EXPECT_TRUE(received.Data() == row.Sent);
        EXPECT_EQ(session.TimesSaid(Vouched), row.Whole && !row.Goodbye ? 1u : 0u);
        EXPECT_EQ(session.FTP.SendCommand("NOOP", 200), 200);  // in step
    }
}

// A download to a file that is cut leaves no file; a cut listing is no
// listing; the size vouching for a cut end is told once a session.
TEST_F(HostileTls, CutEndsCommitNothingAndAreToldOnce)
{
    TempDir dir;
    const std::string whole(5000, 'y');
    Session session([this, &whole](PeerSocket &peer) {
        const auto control = Login(peer, Context);
        Serve(*control, Context, "retr f", whole.substr(0, 100), false);
        EXPECT_EQ(control->ReadLine(), "SIZE f");
        control->Send("550 No\r\n");
        Serve(*control, Context, "list", "-rw-r--r-- 1 u g 5000 Dec  7 07:31 f\r\n", false);
        for (int i = 0; i < 2; ++i) {
            Serve(*control, Context, "retr f", whole, false);
            EXPECT_EQ(control->ReadLine(), "SIZE f");
            control->Send("213 5000\r\n");
        }
    });
    session.FTP.Connect(true);
    EXPECT_THROW(session.FTP.Get("f", dir.File("f"), false), EIdDataConnectionCut);
    EXPECT_TRUE(std::filesystem::is_empty(dir.Path())) << "a cut download left a file";
    std::vector<std::string> lines;
    EXPECT_THROW(session.FTP.List(lines, "", true), EIdDataConnectionCut);
    for (int i = 0; i < 2; ++i) {
        TMemoryStream received;
        session.FTP.Get("f", &received);
        EXPECT_TRUE(received.Data() == whole);
    }
    EXPECT_EQ(session.TimesSaid(Vouched), 1u);
}

// A server gone in the middle of an upload over TLS: the client's next
// write meets a closed socket, which must be an error to report, never
// the signal whose default ends the program.
TEST_F(HostileTls, AServerGoneInTheMiddleOfAnUploadIsAnError)
{
    Session session([this](PeerSocket &peer) {
        const auto control = Login(peer, Context);
        int port = 0;
        const int listener = ListenLoopback(1, port);
        EXPECT_EQ(control->ReadLine(), "PASV");
        control->Send(PassiveReply(port));
        EXPECT_EQ(control->ReadLine(), "STOR f");
        PeerSocket connection(::accept(listener, nullptr, nullptr));
        ::close(listener);
        control->Send("150 Send it\r\n");
        {
            PeerTls tls(Context, connection.Fd());
        }
        // Unread bytes: the close resets the connection.
        connection.Close();
        control->Send("426 Connection closed; transfer aborted.\r\n");
    });
    session.FTP.Connect(true);
    TMemoryStream sent;
    const std::string data(16 << 20, 'u');
    sent.Write(data.data(), int64_t(data.size()));
    sent.SetPosition(0);
    EXPECT_THROW(session.FTP.Put(&sent, "f", false), EIdException);
}

// A write over TLS given up half way (the server stopped reading, and the
// time-out came) leaves a record half sent that no other bytes can finish:
// the connection ends there, rather than fail each write after it with
// "bad length" while it still looks connected.
TEST_F(HostileTls, AWriteGivenUpHalfWayEndsTheConnection)
{
    ScriptedPeer server;
    server.Serve([this](PeerSocket &peer) {
        PeerTls tls(Context, peer.Fd());
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    });
    TIdTCPClient client;
    client.Host = "127.0.0.1";
    client.Port = server.Port();
    client.ReadTimeout = 300;
    client.Connect();
    client.StartTLS("127.0.0.1");
    const std::string data(64 << 20, 'x');
    EXPECT_THROW(client.WriteBytes(data.data(), int(data.size())), EIdException);
    EXPECT_FALSE(client.Connected());
    server.Join();
}

}  // namespace
