// The questions an FTP session can send without waiting go out with the
// next command, and each answer still lands where it belongs: the server
// here reads every line of a batch before it answers any, so a client
// that waited in between would stall the script.
#include "FtpSession.h"
#include "IdException.h"
#include "ScriptedPeer.h"
#include "SessionSettings.h"

#include <gtest/gtest.h>

namespace {

// Reads `lines` in turn, then sends `replies` at once.
void Batch(PeerSocket &peer, std::initializer_list<const char *> lines, const std::string &replies)
{
    for (const char *line : lines)
        EXPECT_EQ(peer.ReadLine(), line);
    peer.Send(replies);
}

TEST(FtpSession, QuestionsThatCanWaitGoWithTheNextCommand)
{
    ScriptedPeer server;
    server.Serve([](PeerSocket &peer) {
        peer.Send("220 Ready\r\n");
        Batch(peer, {"user ann"}, "331 Password\r\n");
        Batch(peer, {"pass pw"}, "230 In\r\n");
        Batch(peer, {"type I", "syst"}, "200 Binary\r\n215 UNIX\r\n");
        Batch(peer, {"PWD"}, "257 \"/\"\r\n");
        // The folder just named needs no CWD; another takes PWD along,
        // and a refused CWD is what fails.
        Batch(peer, {"CWD /gone", "PWD"}, "550 No such folder\r\n257 \"/\"\r\n");
        Batch(peer, {"CWD /pub", "PWD"}, "250 OK\r\n257 \"/pub\"\r\n");
        // A way of setting times that worked goes along with what follows;
        // its refusal is told, and the next answer is the next command's.
        Batch(peer, {"MFMT 20260101000000 a"}, "213 Set\r\n");
        Batch(peer, {"MFMT 20260101000000 b", "SIZE c"}, "550 Not yours\r\n213 7\r\n");
        // A time asked ahead is there when wanted.
        Batch(peer, {"MDTM d", "NOOP"}, "213 20250102030405\r\n200 OK\r\n");
        Batch(peer, {"QUIT"}, "221 Bye\r\n");
    });
    TFtpSession session;
    std::vector<std::string> notices;
    session.OnNotice = [&notices](const std::string &line) { notices.push_back(line); };
    TSessionSettings settings;
    settings.Host = "127.0.0.1";
    settings.Port = server.Port();
    settings.User = "ann";
    settings.Secret = "pw";
    session.Connect(settings);
    EXPECT_EQ(session.CurrentFolder(), "/");
    session.EnterFolder("/");
    try {
        session.EnterFolder("/gone");
        ADD_FAILURE() << "a refused CWD went unnoticed";
    } catch (const EIdProtocolReplyError &refusal) {
        EXPECT_STREQ(refusal.what(), "550 No such folder");
    }
    session.EnterFolder("/pub");
    EXPECT_EQ(session.CurrentFolder(), "/pub");
    EXPECT_TRUE(session.SetModificationTime("a", "20260101000000"));
    EXPECT_TRUE(session.SetModificationTime("b", "20260101000000"));
    EXPECT_EQ(session.Size("c"), 7);
    EXPECT_EQ(notices, std::vector<std::string>{"The server did not take the time of b: 550 Not yours"});
    session.Prefetch(TRemoteSession::TFact::ModificationTime, "d");
    session.KeepAlive();
    EXPECT_EQ(session.ModificationTime("d"), "20250102030405");
    session.Close();
    server.Join();
}

}  // namespace
