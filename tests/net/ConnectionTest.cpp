// The buffered connection against a scripted peer: line reading, exact and
// stream reads, writes, the peer's close, status and work events.
#include "IdException.h"

#include <algorithm>
#include "IdStream.h"
#include "IdTCPClient.h"
#include "NetTestSupport.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {

class Connection : public ::testing::Test {
protected:
    // Serves `script` and connects the connection under test to it.
    void Start(std::function<void(PeerSocket &)> script)
    {
        Peer.Serve(std::move(script));
        ConnectTo(Client, Peer.Port());
    }

    ScriptedPeer Peer;
    TIdTCPConnection Client;
};

TEST_F(Connection, LineEndsAreCrLfOrLfAndOneCrIsDropped)
{
    Start([](PeerSocket &peer) {
        peer.Send("one\r\n");
        peer.Send("two\n");
        peer.Send("a\r\r\n");
        peer.Send("\n");
        peer.Send("kept\r\nx\r\n");
        peer.Send("mid\rdle\n");
    });
    EXPECT_EQ(Client.ReadLine(), "one");
    EXPECT_EQ(Client.ReadLine(), "two");
    EXPECT_EQ(Client.ReadLine(), "a\r");
    EXPECT_EQ(Client.ReadLine(), "");
    EXPECT_FALSE(Client.LineTimedOut);
    EXPECT_EQ(Client.ReadLine("\r\n"), "kept");
    EXPECT_EQ(Client.ReadLine("\r\n"), "x");
    EXPECT_EQ(Client.ReadLine(), "mid\rdle");
    Peer.Join();
}

TEST_F(Connection, ExplicitTerminatorDropsNothingElse)
{
    Start([](PeerSocket &peer) { peer.Send("a\r|b\r\n|"); });
    EXPECT_EQ(Client.ReadLine("|"), "a\r");
    EXPECT_EQ(Client.ReadLine("|"), "b\r\n");
    Peer.Join();
}

TEST_F(Connection, TwoLinesInOneReceiveNeedNoSecondReceive)
{
    RecordingIntercept intercept;
    Client.SetIntercept(&intercept);
    Client.SetInterceptEnabled(true);
    Start([](PeerSocket &peer) {
        peer.Send("first\r\nsecond\r\n");
        peer.ReadLine();  // keeps the connection open until the client is done
    });
    EXPECT_EQ(Client.ReadLine(), "first");
    EXPECT_EQ(Client.ReadLine(), "second");
    EXPECT_EQ(intercept.Received, std::vector<std::string>{"first\r\nsecond\r\n"});
    Client.WriteLine("done");
    Peer.Join();
}

TEST_F(Connection, TerminatorSplitAcrossReceivesIsFound)
{
    Start([](PeerSocket &peer) {
        peer.Send("abc\r");
        peer.ReadLine();
        peer.Send("\ndef\r\n");
    });
    Client.WriteLine("go on");  // the CR alone has arrived or will; the line needs the LF
    EXPECT_EQ(Client.ReadLine("\r\n"), "abc");
    EXPECT_EQ(Client.ReadLine("\r\n"), "def");
    Peer.Join();
}

TEST_F(Connection, CloseAfterAPartialLineKeepsTheBytesThenRaises)
{
    Start([](PeerSocket &peer) { peer.Send("abc"); });
    Peer.Join();
    EXPECT_EQ(Client.ReadLine(), "");
    EXPECT_TRUE(Client.LineTimedOut);
    EXPECT_EQ(Client.InBufferSize(), 3);
    try {
        Client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdConnClosedGracefully &error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
    EXPECT_EQ(Client.TakeBytes(3), "abc");
}

TEST_F(Connection, APeerThatNeverEndsALineIsStopped)
{
    Start([](PeerSocket &peer) {
        const std::string block(64 * 1024, 'x');
        try {
            for (int i = 0; i < 64; ++i)  // 4 MiB at most, far past the cap
                peer.Send(block);
        } catch (...) {
            // The client gave up and closed: what this test wants.
        }
    });
    try {
        Client.ReadLine();
        FAIL() << "no exception";
    } catch (const EIdLineTooLong &error) {
        EXPECT_STREQ(error.what(), "Line too long: no line end within 1048576 bytes.");
    }
    EXPECT_LE(Client.InBufferSize(), TIdTCPConnection::MaxLineLength + Client.RecvBufferSize());
    Client.Disconnect();
    Peer.Join();
}

TEST_F(Connection, ReadLineTimesOutWithoutLosingBytes)
{
    Start([](PeerSocket &peer) {
        peer.Send("partial");
        peer.ReadLine();
    });
    EXPECT_EQ(Client.ReadLine("\n", 10), "");  // arrives, but no line end yet
    while (Client.InBufferSize() < 7)
        Client.ReceiveChunk(true, 100, true, nullptr);
    EXPECT_EQ(Client.ReadLine("\n", 20), "");
    EXPECT_TRUE(Client.LineTimedOut);
    EXPECT_EQ(Client.InBufferSize(), 7);
    Client.WriteLine("bye");
    Peer.Join();
}

TEST_F(Connection, ReadToStreamUntilCloseWritesEveryByteWithWorkEvents)
{
    std::string payload(100000, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = char(i * 7 + i / 251);
    Start([&](PeerSocket &peer) { peer.Send(payload); });
    EventRecorder recorder(Client);
    TMemoryStream stream;
    Client.ReadToStream(&stream, -1, true);
    Peer.Join();

    EXPECT_EQ(stream.Data(), payload);
    ASSERT_GE(recorder.Events.size(), 3u);
    EXPECT_EQ(recorder.Events.front(), "begin 0 0");
    const auto ends = std::count(recorder.Events.begin(), recorder.Events.end(), "end 0");
    EXPECT_EQ(ends, 1);
    // Running totals, rising to the whole (the closing receive of 0 bytes
    // repeats the last); status events of the close between.
    int last = 0;
    for (const std::string &event : recorder.Events) {
        if (event.rfind("work 0 ", 0) == 0) {
            const int total = std::stoi(event.substr(7));
            EXPECT_GE(total, last);
            last = total;
        }
    }
    EXPECT_EQ(last, 100000);
    EXPECT_FALSE(Client.Connected());
}

TEST_F(Connection, ReadToStreamWithACountRaisesOnAnEarlyClose)
{
    Start([](PeerSocket &peer) { peer.Send("12345"); });
    Peer.Join();
    TMemoryStream stream;
    EXPECT_THROW(Client.ReadToStream(&stream, 10, false), EIdConnClosedGracefully);
    EXPECT_EQ(stream.Data(), "12345");  // pre-sized to 10, cut back to what came
}

TEST_F(Connection, ReadToStreamTakesBufferedBytesFirst)
{
    Start([](PeerSocket &peer) { peer.Send("header\nbody bytes"); });
    Peer.Join();
    EXPECT_EQ(Client.ReadLine(), "header");
    TMemoryStream stream;
    Client.ReadToStream(&stream, -1, true);
    EXPECT_EQ(stream.Data(), "body bytes");
}

TEST_F(Connection, CountPrefixedIntegersAndStreams)
{
    Start([](PeerSocket &peer) {
        const std::string count = peer.Read(4);
        peer.Send(count);
        peer.Send(std::string("\0\0\0\3abc", 7));
        peer.Send(peer.Read(4 + 5));
    });
    Client.WriteInt32(0x01020304);
    EXPECT_EQ(Client.ReadInt32(), 0x01020304);
    TMemoryStream in;
    Client.ReadToStream(&in);
    EXPECT_EQ(in.Data(), "abc");
    TMemoryStream out;
    out.Write("hello", 5);
    Client.WriteFromStream(&out, true, true);
    char echoed[9];
    Client.ReadExact(echoed, 9);
    EXPECT_EQ(std::string(echoed, 9), std::string("\0\0\0\5hello", 9));
    Peer.Join();
}

TEST_F(Connection, WorkPeriodsNest)
{
    EventRecorder recorder(Client);
    Client.StartWork(wdSend, 10);
    Client.StartWork(wdSend, 99);
    Client.AddWork(wdSend, 4);
    Client.FinishWork(wdSend);
    Client.AddWork(wdSend, 3);
    Client.FinishWork(wdSend);
    Client.AddWork(wdSend, 1);  // outside a period: silent
    // Counts are 64-bit: a transfer past 4 GiB counts on.
    Client.StartWork(wdReceive, 6000000000);
    Client.AddWork(wdReceive, 3000000000);
    Client.AddWork(wdReceive, 3000000000);
    Client.FinishWork(wdReceive);
    EXPECT_EQ(recorder.Events, (std::vector<std::string>{"begin 1 10", "work 1 4", "work 1 7", "end 1", "begin 0 6000000000",
                                                         "work 0 3000000000", "work 0 6000000000", "end 0"}));
    EXPECT_EQ(Client.WorkInfo(wdSend).WorkLevel, 0);
}

TEST_F(Connection, WritingAnEmptyStreamSendsNothing)
{
    Start([](PeerSocket &peer) { EXPECT_EQ(peer.ReadUntilClose(), ""); });
    EventRecorder recorder(Client);
    TMemoryStream empty;
    Client.WriteFromStream(&empty);
    EXPECT_EQ(recorder.Events, (std::vector<std::string>{"begin 1 0", "end 1"}));
    Client.Disconnect();
    Peer.Join();
}

TEST_F(Connection, FileContentsArriveWholeBothWays)
{
    TempDir dir;
    const std::string path = dir.File("data.bin");
    std::string contents(300000, '\0');
    for (size_t i = 0; i < contents.size(); ++i)
        contents[i] = char(i % 253);
    std::ofstream(path, std::ios::binary) << contents;

    for (bool transmit : {false, true}) {
        std::string received;
        Peer.Serve([&](PeerSocket &peer) { received = peer.ReadUntilClose(); });
        ConnectTo(Client, Peer.Port());
        EXPECT_EQ(Client.WriteFileContents(path, transmit), int64_t(contents.size()));
        Client.Disconnect();
        Peer.Join();
        EXPECT_TRUE(received == contents) << "transmit " << transmit;
    }
}

TEST_F(Connection, DisconnectReportsStatusAndNotifiesOnce)
{
    Start([](PeerSocket &peer) { peer.WaitForClose(); });
    EventRecorder recorder(Client);
    int disconnected = 0;
    Client.OnDisconnected = [&](TIdTCPConnection *) { ++disconnected; };
    EXPECT_TRUE(Client.Connected());
    Client.Disconnect();
    Client.Disconnect();
    EXPECT_EQ(recorder.Events,
              (std::vector<std::string>{"status 3 Disconnecting from 127.0.0.1.", "status 4 Not connected."}));
    EXPECT_EQ(disconnected, 1);
    EXPECT_FALSE(Client.Connected());
    Peer.Join();
}

TEST_F(Connection, WritingToAClosedPeerRaisesASocketErrorNotASignal)
{
    Start([](PeerSocket &peer) {
        peer.ReadLine();
        peer.Reset();
    });
    Client.WriteLine("hello");
    Peer.Join();
    const std::string block(64 * 1024, 'x');
    try {
        for (int i = 0; i < 100; ++i)
            Client.Write(block);
        FAIL() << "every write went through";
    } catch (const EIdSocketError &error) {
        EXPECT_TRUE(error.LastError == 10058 || error.LastError == 10054) << error.what();
    } catch (const EIdConnClosedGracefully &) {
        // Also a fair answer once the close has been seen.
    }
    // Still alive, that is: no SIGPIPE. Reading now finds the reset too.
    EXPECT_THROW(Client.ReadLine(), EIdException);
}

TEST_F(Connection, ReadingAfterTheCloseRaisesOnlyOnceTheBufferIsEmpty)
{
    Start([](PeerSocket &peer) { peer.Send("xyz"); });
    Peer.Join();
    char bytes[3];
    Client.ReadExact(bytes, 3);
    EXPECT_EQ(std::string(bytes, 3), "xyz");
    EXPECT_THROW(Client.ReadExact(bytes, 1), EIdConnClosedGracefully);
}

TEST_F(Connection, AsciiFilterClearsTheHighBit)
{
    Client.ASCIIFilter = true;
    Start([](PeerSocket &peer) { peer.Send("\xC1\xE2\n"); });
    EXPECT_EQ(Client.ReadLine(), "Ab");
    Peer.Join();
}

TEST_F(Connection, BufferRemovesFromTheFront)
{
    TIdBuffer buffer;
    buffer.Write("abcdef", 6);
    buffer.RemoveFront(2);
    EXPECT_EQ(buffer.Data(), "cdef");
    try {
        buffer.RemoveFront(5);
        FAIL();
    } catch (const EIdNotEnoughDataInBuffer &error) {
        EXPECT_STREQ(error.what(), "Not enough data in buffer.");
    }
    buffer.RemoveFront(4);
    EXPECT_EQ(buffer.Size(), 0);
}

}  // namespace

namespace {

// The client binds where it is told, and turns Nagle's delay off on demand.
TEST(Client, BindsToItsAddressAndSetsNoDelay)
{
    for (const bool nagle : {true, false}) {
        ScriptedPeer peer;
        peer.Serve([](PeerSocket &socket) { socket.WaitForClose(); });
        TIdTCPClient client;
        client.Host = "127.0.0.1";
        client.Port = peer.Port();
        client.BoundIP = "127.0.0.1";
        client.UseNagle = nagle;
        client.Connect();
        EXPECT_EQ(client.Socket()->IP, "127.0.0.1");
        int noDelay = -1;
        socklen_t length = sizeof noDelay;
        ASSERT_EQ(::getsockopt(client.Socket()->Handle, IPPROTO_TCP, TCP_NODELAY, &noDelay, &length), 0);
        EXPECT_EQ(noDelay != 0, !nagle);
        client.Disconnect();
        peer.Join();
    }
}

}  // namespace
