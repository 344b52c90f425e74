// The data channel against a scripted server: only the server may bring
// the data in active mode, a server that goes away ends a wait at once,
// active mode that cannot work falls back to passive mode, and the replies
// a transfer owes stay in step whatever fails.
#include "CountingAntiFreeze.h"
#include "IdException.h"
#include "IdStream.h"
#include "ScriptedFtp.h"

#include <sys/socket.h>
#include <unistd.h>

#include <thread>

namespace {

using DataChannel = ScriptedTransfer;

// The server's side of a passive transfer on `listener`, answering PASV.
void ServePassive(PeerSocket &peer, const std::string &command, const std::string &data)
{
    int port = 0;
    const int listener = ListenLoopback(1, port);
    EXPECT_EQ(peer.ReadLine(), "PASV");
    peer.Send(PassiveReply(port));
    EXPECT_EQ(peer.ReadLine(), command);
    PeerSocket connection(::accept(listener, nullptr, nullptr));
    ::close(listener);
    peer.Send("150 Here it comes\r\n");
    connection.Send(data);
    connection.Close();
    peer.Send("226 Done\r\n");
}

// A third party at another loopback address that comes first gets
// nothing and gives nothing: the transfer goes on with the server.
TEST_F(DataChannel, ActiveModeTakesTheDataConnectionOfTheServerOnly)
{
    std::string intruderGot;
    Start([&intruderGot](PeerSocket &peer) {
        for (const char *command : {"retr f", "STOR f"}) {
            const int port = PortOfPortCommand(peer.ReadLine());
            peer.Send("200 ok\r\n");
            EXPECT_EQ(peer.ReadLine(), command);
            peer.Send("150 Opening\r\n");
            {
                PeerSocket intruder(ConnectLoopbackFrom("127.0.0.2", port));
                intruder.Send("forged");
                intruderGot += intruder.ReadUntilClose();
            }
            auto data = ConnectData(port);
            if (command[0] == 'r') {
                data->Send("genuine");
                data->Close();
            } else {
                EXPECT_EQ(data->ReadUntilClose(), "upload");
            }
            peer.Send("226 Done\r\n");
        }
        peer.WaitForClose();
    });
    std::vector<std::string> said;
    FTP.OnStatus = [&said](TIdComponent *, TIdStatus, const std::string &text) { said.push_back(text); };
    TMemoryStream received;
    FTP.Get("f", &received);
    EXPECT_EQ(received.Data(), "genuine");
    TMemoryStream sent;
    sent.Write("upload", 6);
    FTP.Put(&sent, "f", false);
    EXPECT_EQ(intruderGot, "");
    EXPECT_EQ(said, std::vector<std::string>(2, "Refused a data connection from 127.0.0.2: not the server."));
    FTP.OnStatus = nullptr;
}

// The control connection closes while a transfer waits for its data
// connection, or for its data: the wait ends with it, whatever the read
// time-out (here none at all).
TEST_F(DataChannel, AServerThatGoesAwayEndsTheWaitAtOnce)
{
    for (const bool passive : {false, true}) {
        SCOPED_TRACE(passive ? "passive" : "active");
        Server.Serve([passive](PeerSocket &peer) {
            peer.Send("220 Ready\r\n");
            int listener = -1;
            if (passive) {
                int port = 0;
                listener = ListenLoopback(1, port);
                EXPECT_EQ(peer.ReadLine(), "PASV");
                peer.Send(PassiveReply(port));
            } else {
                peer.ReadLine();
                peer.Send("200 ok\r\n");
            }
            EXPECT_EQ(peer.ReadLine(), "retr f");
            peer.Send("150 Opening\r\n");
            // Passive: the data connection is there and stays silent.
            std::unique_ptr<PeerSocket> data;
            if (passive)
                data = std::make_unique<PeerSocket>(::accept(listener, nullptr, nullptr));
            peer.Close();
            if (data)
                data->WaitForClose();
            if (listener >= 0)
                ::close(listener);
        });
        FTP.Disconnect();
        FTP.Host = "127.0.0.1";
        FTP.Port = Server.Port();
        FTP.Passive = passive;
        FTP.ReadTimeout = IdTimeoutInfinite;
        FTP.Connect(false);
        TMemoryStream received;
        EXPECT_THROW(FTP.Get("f", &received), EIdConnClosedGracefully);
        Server.Join();
    }
    Server.Serve([](PeerSocket &peer) { peer.Send("220 Ready\r\n"); });
    FTP.Host = "127.0.0.1";
    FTP.Port = Server.Port();
    FTP.Connect(false);
}

// Active mode refused by the server, or a server that cannot connect: the
// transfer is made in passive mode, which stays on.
TEST_F(DataChannel, ActiveModeThatCannotWorkFallsBackToPassive)
{
    const struct {
        const char *Refusal;
        const char *Reason;
    } rows[] = {
        {"500 Illegal PORT command.", "500 Illegal PORT command."},
        {"425 Failed to establish connection.", "425 Failed to establish connection."},
        {nullptr, "no data connection within 0.2 s"},  // the server never connects
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.Reason);
        Server.Serve([&row](PeerSocket &peer) {
            peer.Send("220 Ready\r\n");
            peer.ReadLine();  // PORT
            if (row.Refusal && std::string(row.Refusal).starts_with("500")) {
                peer.Send(std::string(row.Refusal) + "\r\n");
            } else {
                peer.Send("200 ok\r\n");
                EXPECT_EQ(peer.ReadLine(), "retr f");
                if (row.Refusal) {
                    peer.Send(std::string(row.Refusal) + "\r\n");
                } else {
                    peer.Send("150 Opening\r\n");
                    EXPECT_EQ(peer.ReadLine(), "ABOR");
                    peer.Send("426 Aborted\r\n226 ABOR done\r\n");
                }
            }
            ServePassive(peer, "retr f", "by passive mode");
            peer.WaitForClose();
        });
        FTP.Disconnect();
        FTP.Host = "127.0.0.1";
        FTP.Port = Server.Port();
        FTP.Passive = false;
        FTP.PassiveFallback = true;
        FTP.DataAcceptTimeout = 200;
        FTP.Connect(false);
        std::vector<std::string> said;
        FTP.OnStatus = [&said](TIdComponent *, TIdStatus, const std::string &text) { said.push_back(text); };
        TMemoryStream received;
        FTP.Get("f", &received);
        EXPECT_EQ(received.Data(), "by passive mode");
        EXPECT_TRUE(FTP.Passive);
        EXPECT_EQ(said, std::vector<std::string>{"Active mode failed (" + std::string(row.Reason) +
                                                 "): trying passive mode, for the rest of the session."});
        FTP.OnStatus = nullptr;
        FTP.Disconnect();
        Server.Join();
    }
    Server.Serve([](PeerSocket &peer) { peer.Send("220 Ready\r\n"); });
    FTP.Host = "127.0.0.1";
    FTP.Port = Server.Port();
    FTP.Connect(false);
}

// 225 and 250 end a transfer as 226 does. A 426 ends it with an error
// unless we aborted: the server cut it short; a 226 after it is read, so
// the next command gets its own reply.
TEST_F(DataChannel, FinalReplies)
{
    const std::pair<const char *, const char *> finals[] = {
        {"225 Closing\r\n", nullptr},
        {"250 Done\r\n", nullptr},
        {"426 Connection closed; transfer aborted.\r\n226 Abort ok\r\n", "426 Connection closed; transfer aborted."},
        {"426 Cut short\r\n", "426 Cut short"},
    };
    Start([&](PeerSocket &peer) {
        for (const auto &[final, error] : finals) {
            const std::string port = peer.ReadLine();
            peer.Send("200 ok\r\n");
            EXPECT_EQ(peer.ReadLine(), "retr f");
            peer.Send("125 Go\r\n");
            ConnectData(PortOfPortCommand(port))->Send("xyz");
            peer.Send(final);
        }
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 in step\r\n");
        peer.WaitForClose();
    });
    for (const auto &[final, error] : finals) {
        TMemoryStream stream;
        try {
            FTP.Get("f", &stream);
            EXPECT_EQ(error, nullptr) << final;
        } catch (const EIdProtocolReplyError &failure) {
            ASSERT_NE(error, nullptr) << final;
            EXPECT_STREQ(failure.what(), error);
            EXPECT_EQ(failure.ReplyCode, 426);
        }
        EXPECT_EQ(stream.Data(), "xyz");
    }
    EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200);
}

TEST_F(DataChannel, RefusedDataCommandSkipsTheFinalReply)
{
    Start([](PeerSocket &peer) {
        peer.ReadLine();
        peer.Send("200 ok\r\n");
        EXPECT_EQ(peer.ReadLine(), "retr missing");
        peer.Send("550 missing: No such file\r\n");
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 still here\r\n");
        peer.WaitForClose();
    });
    TMemoryStream stream;
    try {
        FTP.Get("missing", &stream);
        FAIL();
    } catch (const EIdProtocolReplyError &error) {
        EXPECT_STREQ(error.what(), "550 missing: No such file");
    }
    EXPECT_EQ(FTP.DataConnection, nullptr);
    EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200);
}

TEST_F(DataChannel, PassiveConnectsToTheControlPeerWhateverTheReplyNames)
{
    ScriptedPeer data;
    Start([&](PeerSocket &peer) {
        EXPECT_EQ(peer.ReadLine(), "PASV");
        // A hostile or NATed server names another host: the client must not follow.
        peer.Send("227 Entering Passive Mode (10,99,98,97," + std::to_string(data.Port() / 256) + "," +
                  std::to_string(data.Port() % 256) + ")\r\n");
        EXPECT_EQ(peer.ReadLine(), "retr f");
        peer.Send("150 Go\r\n");
        data.Join();
        peer.Send("226 Done\r\n");
        peer.WaitForClose();
    });
    data.Serve([](PeerSocket &d) { d.Send("passive bytes"); });
    FTP.Passive = true;
    TMemoryStream stream;
    FTP.Get("f", &stream);
    EXPECT_EQ(stream.Data(), "passive bytes");
}

TEST_F(DataChannel, DisconnectWhileWaitingForTheServersConnectionEndsTheWait)
{
    std::atomic<bool> waiting{false};
    Start([&waiting](PeerSocket &peer) {
        peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go, but I never connect\r\n");
        waiting = true;
        peer.WaitForClose();
    });
    CountingAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    antiFreeze.IdleTimeOut = 10;
    int pumps = 0;
    antiFreeze.OnPump = [&] {
        if (waiting && ++pumps == 3)
            FTP.Disconnect();
    };
    TMemoryStream stream;
    try {
        FTP.Get("f", &stream);
        FAIL();
    } catch (const EIdConnClosedGracefully &error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
    EXPECT_FALSE(FTP.Connected());
    EXPECT_EQ(FTP.DataConnection, nullptr);
}

TEST_F(DataChannel, AServerThatNeverConnectsTimesOut)
{
    Start([](PeerSocket &peer) {
        peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go\r\n");
        peer.WaitForClose();
    });
    FTP.ReadTimeout = 100;
    TMemoryStream stream;
    try {
        FTP.Get("f", &stream);
        FAIL();
    } catch (const EIdSocketError &error) {
        EXPECT_EQ(error.LastError, 10060);
        EXPECT_STREQ(error.what(), "Socket Error # 10060\r\nConnection timed out.");
    }
    EXPECT_EQ(FTP.DataConnection, nullptr);
}

// After a transfer fails, the replies the server still owes are read, so
// the next command gets its own; when they do not come, the control
// connection is closed rather than left out of step.
TEST_F(DataChannel, RepliesStayInStepAfterAFailedTransfer)
{
    FTP.ReadTimeout = 300;
    Start([](PeerSocket &peer) {
        // The data connection is never opened; the server says so late.
        peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go\r\n");
        std::this_thread::sleep_for(std::chrono::milliseconds(400));
        peer.Send("425 Can't open data connection.\r\n");
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 in step\r\n");
        // The data connection is reset half way; the 426 comes after.
        const std::string port = peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go\r\n");
        auto data = ConnectData(PortOfPortCommand(port));
        data->Send("part");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        data->Reset();
        peer.Send("426 Connection reset\r\n");
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 in step\r\n");
        // The data connection is never opened and the server stays silent.
        peer.ReadLine();
        peer.Send("200 ok\r\n");
        peer.ReadLine();
        peer.Send("150 Go\r\n");
        EXPECT_TRUE(peer.WaitForClose());
    });
    for (int transfer = 0; transfer < 3; ++transfer) {
        TMemoryStream stream;
        EXPECT_THROW(FTP.Get("f", &stream), EIdSocketError) << transfer;
        if (transfer < 2) {
            EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200) << transfer;
        }
    }
    EXPECT_FALSE(FTP.Connected());
}

}  // namespace
