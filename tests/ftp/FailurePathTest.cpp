// The paths users hit when a server misbehaves or the user steps in:
// aborts wherever a transfer waits, an aborted accept, passive mode gone
// wrong, handlers that change things mid-transfer, local files that cannot
// be had, and a SOCKS proxy that answers only in part.
#include "ChildProcess.h"
#include "CountingAntiFreeze.h"
#include "IdException.h"
#include "IdSimpleServer.h"
#include "IdStream.h"
#include "ScriptedFtp.h"
#include "TempDir.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstring>

namespace {

// A listener of the scripted server's own, for passive data connections.
class PassiveListener {
public:
    PassiveListener() { FSocket = ListenLoopback(1, FPort); }
    ~PassiveListener() { ::close(FSocket); }
    std::string Reply() const { return PassiveReply(FPort); }
    std::unique_ptr<PeerSocket> Accept() const { return std::make_unique<PeerSocket>(::accept(FSocket, nullptr, nullptr)); }

private:
    int FSocket = -1;
    int FPort = 0;
};

using FailurePath = ScriptedTransfer;

// An abort from a handler while the transfer waits: for the server's
// connection, for data, or for room to send. The transfer ends with the
// close; the server's replies to the aborted command are read, so the next
// command gets its own.
TEST_F(FailurePath, AbortsEndTheTransferWhereverItWaits)
{
    enum TWait { waConnection, waData, waRoom };
    std::atomic<bool> armed{false};
    Start([&armed](PeerSocket &peer) {
        for (TWait wait : {waConnection, waData, waRoom}) {
            const std::string port = peer.ReadLine();
            peer.Send("200 ok\r\n");
            peer.ReadLine();
            peer.Send("150 Go\r\n");
            std::unique_ptr<PeerSocket> data;
            if (wait != waConnection)
                data = ConnectData(PortOfPortCommand(port));  // and nothing read or sent on it
            armed = true;
            EXPECT_EQ(peer.ReadLine(), "ABOR") << wait;
            peer.Send("426 Transfer aborted\r\n226 ABOR ok\r\n");
            EXPECT_EQ(peer.ReadLine(), "NOOP") << wait;
            peer.Send("200 in step\r\n");
        }
        peer.WaitForClose();
    });
    CountingAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    antiFreeze.IdleTimeOut = 10;
    antiFreeze.OnPump = [&] {
        if (armed.exchange(false))
            FTP.AbortTransfer();
    };
    for (TWait wait : {waConnection, waData, waRoom}) {
        TMemoryStream stream;
        stream.SetSize(wait == waRoom ? 64 << 20 : 0);  // more than the socket buffers hold
        try {
            if (wait == waRoom)
                FTP.Put(&stream, "f", false);
            else
                FTP.Get("f", &stream);
            ADD_FAILURE() << wait;
        } catch (const EIdConnClosedGracefully &error) {
            EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
        }
        EXPECT_EQ(FTP.DataConnection, nullptr);
        EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200) << wait;
    }
}

TEST(SimpleServer, AnAbortedAcceptEndsTheWaitAndTheListener)
{
    TIdSimpleServer listener;
    listener.BoundIP = "127.0.0.1";
    listener.StartListening();
    CountingAntiFreeze antiFreeze;
    antiFreeze.OnlyWhenIdle = false;
    antiFreeze.OnPump = [&] { listener.AbortAccept(); };
    EXPECT_FALSE(listener.WaitForConnection());
    EXPECT_EQ(listener.ListenHandle, Id_INVALID_SOCKET);
    EXPECT_FALSE(listener.Socket()->IsOpen);
}

// Passive mode gone wrong: a refused PASV, a reply without six fields, a
// data connection nobody takes (the server's refusal told). Each ends the
// call, and the session goes on.
TEST_F(FailurePath, PassiveModeGoneWrong)
{
    const int nobody = FreeLoopbackPort();
    const std::pair<std::string, std::function<void(const std::function<void()> &)>> cases[] = {
        {"500 PASV not here\r\n", [](const auto &get) { EXPECT_THROW(get(), EIdProtocolReplyError); }},
        {"227 Entering Passive Mode (127,0,0,1)\r\n", [](const auto &get) { EXPECT_THROW(get(), EConvertError); }},
        {"227 (127,0,0,1," + std::to_string(nobody / 256) + "," + std::to_string(nobody % 256) + ")\r\n",
         [](const auto &get) {
             // The server's reply says more than the refused connection.
             try {
                 get();
                 ADD_FAILURE();
             } catch (const EIdProtocolReplyError &refusal) {
                 EXPECT_EQ(refusal.ReplyCode, 425);
             }
         }},
    };
    Start([&](PeerSocket &peer) {
        for (size_t i = 0; i < std::size(cases); ++i) {
            EXPECT_EQ(peer.ReadLine(), "PASV");
            peer.Send(cases[i].first);
            if (i == 2) {
                EXPECT_EQ(peer.ReadLine(), "retr f");  // written before the connect
                peer.Send("425 Can't open data connection.\r\n");
            }
            EXPECT_EQ(peer.ReadLine(), "NOOP");
            peer.Send("200 in step\r\n");
        }
        peer.WaitForClose();
    });
    FTP.Passive = true;
    for (const auto &[reply, check] : cases) {
        TMemoryStream stream;
        check([&] { FTP.Get("f", &stream); });
        EXPECT_EQ(FTP.SendCommand("NOOP", 200), 200) << reply;
    }
}

// Error 10038 during a passive upload is no failure: the data phase ends
// there and the upload goes on to its final reply. A type set meanwhile
// changes nothing.
TEST_F(FailurePath, HandlersDuringAPassiveUpload)
{
    PassiveListener data;
    Start([&data](PeerSocket &peer) {
        EXPECT_EQ(peer.ReadLine(), "PASV");
        peer.Send(data.Reply());
        EXPECT_EQ(peer.ReadLine(), "STOR f");
        auto connection = data.Accept();
        peer.Send("150 Go\r\n");
        const size_t received = connection->ReadUntilClose().size();
        EXPECT_GT(received, 0u);
        EXPECT_LT(received, 4000000u);
        peer.Send("226 Stored\r\n");
        peer.WaitForClose();
    });
    FTP.Passive = true;
    bool thrown = false;
    FTP.OnWork = [&](TIdComponent *, TWorkMode, int64_t) {
        FTP.SetTransferType(ftASCII);
        if (!std::exchange(thrown, true))
            throw EIdSocketError(10038, "Socket Error # 10038\r\nSocket operation on non-socket.");
    };
    TMemoryStream stream;
    stream.SetSize(4000000);  // more than one block of the send
    stream.SetPosition(0);
    FTP.Put(&stream, "f", false);
    EXPECT_TRUE(thrown);
    EXPECT_EQ(FTP.TransferType(), ftBinary);
}

TEST_F(FailurePath, LocalFilesThatCannotBeHadSendNothing)
{
    TempDir dir;
    const std::string missing = dir.File("missing/file.txt");
    Start([](PeerSocket &peer) { EXPECT_TRUE(peer.WaitForClose()); });
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { FTP.Get("f", missing, true); }, "Cannot create file " + missing},
        {[&] { FTP.Put(missing, "f", false); }, "Cannot open file " + missing},
    };
    for (const auto &[call, message] : cases) {
        try {
            call();
            ADD_FAILURE() << message;
        } catch (const EFileStreamError &error) {
            EXPECT_EQ(error.what(), message);
        }
    }
    FTP.Disconnect();
    Server.Join();
    EXPECT_EQ(Server.Transcript(), "");
}

}  // namespace
