// Interceptors and the debug log: what a connection hands them and the
// entries the log makes of it.
#include "IdException.h"
#include "IdLogDebug.h"
#include "NetTestSupport.h"
#include "ScriptedPeer.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

class Log : public ::testing::Test {
protected:
    void SetUp() override
    {
        FTPLog.SetTarget(ltEvent);
        FTPLog.LogTime = false;
        FTPLog.SetActive(true);
        FTPLog.OnLogItem = [this](TIdLogDebug *, std::string &text) { Entries.push_back(text); };
        Client.SetIntercept(&FTPLog);
        Client.SetInterceptEnabled(true);
    }

    ScriptedPeer Peer;
    TIdTCPConnection Client;
    TIdLogDebug FTPLog;
    std::vector<std::string> Entries;
};

TEST_F(Log, ReceivedAndSentBytesShowLineEndsAsEol)
{
    Peer.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        peer.ReadLine();
        peer.Send("331 a\r\n230 b\r\n");
        peer.WaitForClose();
    });
    ConnectTo(Client, Peer.Port());
    EXPECT_EQ(Client.ReadLine(), "220 Ready");
    Client.WriteLine("USER x");
    EXPECT_EQ(Client.ReadLine(), "331 a");
    // A password never reaches the log.
    Client.WriteLine("pass secret");
    Client.WriteLine("PASS x y");
    Client.Disconnect();
    Peer.Join();
    EXPECT_EQ(Entries, (std::vector<std::string>{"Recv: 220 Ready<EOL>", "Sent: USER x<EOL>",
                                                 "Recv: 331 a<EOL>230 b<EOL>", "Sent: pass ****<EOL>",
                                                 "Sent: PASS ****<EOL>", "Disconnected."}));
}

TEST_F(Log, PeerCloseGivesAnEmptyReceiveThenDisconnected)
{
    Peer.Serve([](PeerSocket &) {});
    ConnectTo(Client, Peer.Port());
    Peer.Join();
    EXPECT_THROW(Client.ReadLine(), EIdConnClosedGracefully);
    EXPECT_EQ(Entries, (std::vector<std::string>{"Recv: ", "Disconnected."}));
    Entries.clear();
    Client.Disconnect();  // already closed: still detaches
    EXPECT_EQ(Entries, std::vector<std::string>{"Disconnected."});
}

TEST_F(Log, InactiveLogDeliversNothing)
{
    FTPLog.SetActive(false);
    Peer.Serve([](PeerSocket &peer) { peer.Send("hello\r\n"); });
    ConnectTo(Client, Peer.Port());
    EXPECT_EQ(Client.ReadLine(), "hello");
    Client.Disconnect();
    Peer.Join();
    EXPECT_TRUE(Entries.empty());
}

TEST_F(Log, TimeStampedEntriesAndHandlersThatChangeTheText)
{
    FTPLog.LogTime = true;
    FTPLog.OnLogItem = [this](TIdLogDebug *, std::string &text) {
        Entries.push_back(text);
        text = "changed";
    };
    Peer.Serve([](PeerSocket &peer) { peer.Send("x\r\ny"); });
    ConnectTo(Client, Peer.Port());
    Peer.Join();
    Client.ReadLine();
    ASSERT_FALSE(Entries.empty());
    const std::string &entry = Entries.front();
    const auto mark = entry.find(": Recv: x<EOL>y");
    ASSERT_NE(mark, std::string::npos) << entry;
    EXPECT_GT(mark, 5u);  // a date and a time before it
}

TEST_F(Log, TargetChangesOnlyWhileInactive)
{
    try {
        FTPLog.SetTarget(ltFile);
        FAIL();
    } catch (const EIdCanNotChangeTarget &error) {
        EXPECT_STREQ(error.what(), "Cannot change target while active.");
    }
    EXPECT_EQ(FTPLog.Target(), ltEvent);
    FTPLog.SetActive(false);
    FTPLog.SetTarget(ltDebugOutput);
    EXPECT_EQ(FTPLog.Target(), ltDebugOutput);
}

TEST(LogFile, FileTargetAppendsLinesWithCrLf)
{
    TempDir dir;
    const std::string path = dir.File("ftp.log");
    std::ofstream(path) << "old\r\n";
    {
        TIdLogDebug log;
        log.Filename = path;
        log.LogTime = false;
        log.SetActive(true);
        log.Attach(nullptr);
        log.AfterSend("NOOP\r\n", 6);
    }
    std::ifstream in(path, std::ios::binary);
    std::stringstream all;
    all << in.rdbuf();
    EXPECT_EQ(all.str(), "old\r\nConnected.\r\nSent: NOOP<EOL>\r\n");
}

TEST(LogFile, DebugOutputGoesToStandardError)
{
    TIdLogDebug log;
    log.SetTarget(ltDebugOutput);
    log.LogTime = false;
    log.SetActive(true);
    ::testing::internal::CaptureStderr();
    log.AfterReceive("226 Done\r\n", 10);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Recv: 226 Done<EOL>\r\n");
}

TEST(InterceptProperty, EnablingNeedsAnInterceptorAndGoesWithIt)
{
    TIdTCPConnection connection;
    try {
        connection.SetInterceptEnabled(true);
        FAIL();
    } catch (const EIdInterceptPropIsNil &error) {
        EXPECT_STREQ(error.what(), "InterceptEnabled cannot be set to true when Intercept is nil.");
    }
    {
        RecordingIntercept intercept;
        connection.SetIntercept(&intercept);
        connection.SetInterceptEnabled(true);
        connection.Disconnect();  // closed, but the interceptor is told
        EXPECT_EQ(intercept.Detaches, 1);
    }
    // The interceptor went away: the connection forgot it.
    EXPECT_EQ(connection.Intercept(), nullptr);
    EXPECT_FALSE(connection.InterceptEnabled());
    connection.Disconnect();

    RecordingIntercept other;
    connection.SetIntercept(&other);
    connection.SetInterceptEnabled(true);
    connection.SetIntercept(nullptr);
    EXPECT_FALSE(connection.InterceptEnabled());
}

TEST(InterceptProperty, AConnectionGoingFirstLeavesTheInterceptorUsable)
{
    RecordingIntercept intercept;
    {
        TIdTCPConnection connection;
        connection.SetIntercept(&intercept);
    }
    TIdTCPConnection next;
    next.SetIntercept(&intercept);
    next.SetInterceptEnabled(true);
    next.Disconnect();
    EXPECT_EQ(intercept.Detaches, 1);
}

}  // namespace
