// The command and reply layer against exact server bytes.
#include "IdException.h"
#include "IdTCPClient.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

namespace {

class Reply : public ::testing::Test {
protected:
    void Start(std::function<void(PeerSocket &)> script)
    {
        Peer.Serve(std::move(script));
        Client.Host = "127.0.0.1";
        Client.Port = Peer.Port();
        Client.Connect();
    }
    ScriptedPeer Peer;
    TIdTCPClient Client;
};

TEST_F(Reply, MultiLineReplyEndsAtTheCodeAndABlank)
{
    Start([](PeerSocket &peer) {
        peer.Send("220-Welcome\r\n220-still the greeting\r\n   indented text\r\n\r\n  \r\n"
                  "221 not the end\r\n220 Ready\r\nNEXT\r\n");
    });
    EXPECT_EQ(Client.ReadReply({220}), 220);
    EXPECT_EQ(Client.ReplyLines, (std::vector<std::string>{"220-Welcome", "220-still the greeting", "indented text",
                                                           "221 not the end", "220 Ready"}));
    EXPECT_EQ(Client.LastReplyLine(), "220 Ready");
    EXPECT_EQ(Client.ReadLine(), "NEXT");  // nothing beyond the reply was taken
    Peer.Join();
}

// A multi-line reply ends only at its terminator: the code and a blank,
// or the code alone. Short free-text lines in between do not end it.
TEST_F(Reply, OnlyTheTerminatorEndsAMultiLineReply)
{
    Start([](PeerSocket &peer) {
        peer.Send("211-Features\r\n211\r\n");
        peer.Send("230-Hello\r\nab\r\n230-\r\n   ok\r\n230 Welcome\r\n");
        peer.Send("200\r\n");
    });
    EXPECT_EQ(Client.ReadReply({}), 211);
    EXPECT_EQ(Client.ReplyLines.size(), 2u);
    EXPECT_EQ(Client.ReadReply({}), 230);
    EXPECT_EQ(Client.ReplyLines, (std::vector<std::string>{"230-Hello", "ab", "230-", "ok", "230 Welcome"}));
    EXPECT_EQ(Client.ReadReply({200}), 200);
    EXPECT_EQ(Client.ReplyLines, std::vector<std::string>{"200"});
    Peer.Join();
}

// A reply that never ends stops at a bound: lines, or bytes.
class EndlessReply : public Reply, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(EndlessReply, EndsWithAClearError)
{
    const auto [lines, length] = GetParam();
    Start([lines, length](PeerSocket &peer) {
        std::string reply = "220-endless\r\n";
        for (int i = 0; i < lines; ++i)
            reply += std::string(size_t(length), 'x') + "\r\n";
        peer.Send(reply);
        peer.WaitForClose();
    });
    try {
        Client.ReadReply({});
        ADD_FAILURE();
    } catch (const EIdReplyTooLong &error) {
        EXPECT_STREQ(error.what(), "Reply too long: no end within 10000 lines or 1048576 bytes.");
    }
    Client.Disconnect();
    Peer.Join();
}

INSTANTIATE_TEST_SUITE_P(LinesOrBytes, EndlessReply, ::testing::Values(std::pair{10001, 1}, std::pair{1100, 1000}));

// Three digits, then a blank, a "-" or the end of the line, make a code.
TEST_F(Reply, CodeComesFromTheLastLineAndItsSpecialForms)
{
    const std::pair<const char *, int> rows[] = {
        {"150-first\r\n150 226 last\r\n", 150}, {"+ok pop style\r\n", 1}, {"-Err failed\r\n", 0},
        {"abc text\r\n", 0}, {"22x\r\n", 0}, {"2200 ready\r\n", 0}, {"220ready\r\n", 0},
        {"-12 minus\r\n", 0}, {"220\r\n", 220}, {"421 \r\n", 421},
    };
    Start([&rows](PeerSocket &peer) {
        for (const auto &[reply, code] : rows)
            peer.Send(reply);
    });
    for (const auto &[reply, code] : rows)
        EXPECT_EQ(Client.ReadReply({}), code) << reply;
    Peer.Join();
}

TEST_F(Reply, RejectedCodeRaisesWithTheWholeLastLine)
{
    Start([](PeerSocket &peer) {
        EXPECT_EQ(peer.ReadLine(), "RETR missing.txt");
        peer.Send("550 missing.txt: No such file or directory.\r\n");
        EXPECT_EQ(peer.ReadLine(), "NOOP");
        peer.Send("200 ok\r\n");
    });
    try {
        Client.SendCommand("RETR missing.txt", {150, 125});
        FAIL();
    } catch (const EIdProtocolReplyError &error) {
        EXPECT_EQ(error.ReplyCode, 550);
        EXPECT_STREQ(error.what(), "550 missing.txt: No such file or directory.");
    }
    EXPECT_EQ(Client.ReplyCode, 550);
    EXPECT_TRUE(Client.Connected());  // the layer leaves the connection open
    EXPECT_EQ(Client.SendCommand("NOOP", -1), 200);
    Peer.Join();
}

TEST_F(Reply, CommandsGoOutUnchangedAndNulSendsNothing)
{
    Start([](PeerSocket &peer) {
        peer.Send("220 first\r\n");
        EXPECT_EQ(peer.ReadLine(), "user  Mixed Case ");
        peer.Send("331 next\r\n");
    });
    EXPECT_EQ(Client.SendCommand(std::string(1, '\0'), 220), 220);
    EXPECT_EQ(Client.SendCommand("user  Mixed Case ", {331}), 331);
    Peer.Join();
    EXPECT_EQ(Peer.Transcript(), "user  Mixed Case \r\n");
}

TEST_F(Reply, ServerClosingMidReplyKeepsTheLinesRead)
{
    Start([](PeerSocket &peer) { peer.Send("226-part one\r\n226-part two\r\nunfinished"); });
    Peer.Join();
    EXPECT_THROW(Client.ReadReply({226}), EIdConnClosedGracefully);
    EXPECT_EQ(Client.ReplyLines, (std::vector<std::string>{"226-part one", "226-part two"}));
}

TEST_F(Reply, RaiseReplyErrorAsUsesTheGivenClass)
{
    Start([](PeerSocket &peer) { peer.Send("553 exists\r\n"); });
    Client.ReadReply({});
    try {
        Client.RaiseReplyErrorAs<EIdFTPFileAlreadyExists>();
        FAIL();
    } catch (const EIdFTPFileAlreadyExists &error) {
        EXPECT_STREQ(error.what(), "553 exists");
    }
    Peer.Join();
}

}  // namespace
