// The anti-freeze hook and the sliced socket wait. Slices and pumps are
// observed (the stack records every wait's time-out), never timed.
#include "CountingAntiFreeze.h"
#include "IdException.h"
#include "NetTestSupport.h"
#include "ScriptedPeer.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {


class SlicedWait : public ::testing::Test {
protected:
    void SetUp() override
    {
        AntiFreeze.IdleTimeOut = 50;
        Peer.Serve([this](PeerSocket &peer) {
            try {
                peer.ReadLine();  // "send", once the client wants data
            } catch (const std::runtime_error &) {
                return;  // closed without asking
            }
            peer.Send(Reply);
            peer.WaitForClose();
        });
        ConnectTo(Client, Peer.Port());
    }
    void TearDown() override
    {
        Client.Disconnect();
        Peer.Join();
    }

    RecordingStack Recording;
    ScopedStack Scoped{&Recording};
    CountingAntiFreeze AntiFreeze;
    ScriptedPeer Peer;
    TIdTCPConnection Client;
    std::string Reply = "data\r\n";
};

TEST_F(SlicedWait, WaitIsCutIntoSlicesShortestFirstWithAPumpAfterEach)
{
    EXPECT_FALSE(Client.Socket()->WaitReadable(120));
    EXPECT_EQ(Recording.SelectTimeouts, (std::vector<int>{20, 50, 50}));
    EXPECT_EQ(AntiFreeze.Pumps, 3);

    Recording.SelectTimeouts.clear();
    EXPECT_FALSE(Client.Socket()->WaitReadable(50));
    EXPECT_EQ(Recording.SelectTimeouts, std::vector<int>{50});
    Recording.SelectTimeouts.clear();
    EXPECT_FALSE(Client.Socket()->WaitReadable(101));
    EXPECT_EQ(Recording.SelectTimeouts, (std::vector<int>{1, 50, 50}));
}

TEST_F(SlicedWait, EndlessWaitGoesOnInSlicesUntilDataComes)
{
    int pumps = 0;
    AntiFreeze.OnPump = [&] {
        if (++pumps == 2)
            Client.WriteLine("send");
    };
    EXPECT_EQ(Client.ReadLine(), "data");
    ASSERT_GE(Recording.SelectTimeouts.size(), 3u);
    for (int timeout : Recording.SelectTimeouts)
        EXPECT_EQ(timeout, 50);
}

TEST_F(SlicedWait, OnlyWhenIdleSkipsThePumpForASliceWithData)
{
    Client.WriteLine("send");
    AntiFreeze.OnlyWhenIdle = true;
    while (!Client.Socket()->WaitReadable(50)) {
    }
    const int idlePumps = AntiFreeze.Pumps;
    EXPECT_TRUE(Client.Socket()->WaitReadable(50));  // data waits: not idle
    EXPECT_EQ(AntiFreeze.Pumps, idlePumps);

    // Not idle, it pumps once the interval has passed since the last pump.
    AntiFreeze.OnlyWhenIdle = false;
    const auto interval = std::chrono::milliseconds(TIdAntiFreezeBase::PumpInterval);
    std::this_thread::sleep_for(interval);
    EXPECT_TRUE(Client.Socket()->WaitReadable(50));
    EXPECT_EQ(AntiFreeze.Pumps, idlePumps + 1);
    std::this_thread::sleep_for(interval);
    Client.WriteLine("more");  // a send too
    EXPECT_EQ(AntiFreeze.Pumps, idlePumps + 2);
    TIdAntiFreezeBase::PumpIfDue(false, true);  // forced: at once
    EXPECT_EQ(AntiFreeze.Pumps, idlePumps + 3);
}

TEST_F(SlicedWait, InactiveAntiFreezeNeitherSlicesNorPumps)
{
    AntiFreeze.Active = false;
    EXPECT_FALSE(Client.Socket()->WaitReadable(120));
    EXPECT_EQ(Recording.SelectTimeouts, std::vector<int>{120});
    TIdAntiFreezeBase::PumpIfDue(true, true);
    EXPECT_EQ(AntiFreeze.Pumps, 0);
}

TEST_F(SlicedWait, AHandlerClosingTheConnectionEndsTheWait)
{
    AntiFreeze.OnPump = [&] { Client.Disconnect(); };
    try {
        Client.ReadLine();
        FAIL() << "read returned";
    } catch (const EIdConnClosedGracefully &error) {
        EXPECT_STREQ(error.what(), "Connection Closed Gracefully.");
    }
}

TEST(AntiFreezeHook, PumpsOnlyOnTheMainThreadWhenDue)
{
    CountingAntiFreeze antiFreeze;
    TIdAntiFreezeBase::PumpIfDue(false);
    EXPECT_EQ(antiFreeze.Pumps, 0);  // OnlyWhenIdle by default
    TIdAntiFreezeBase::PumpIfDue(true);
    TIdAntiFreezeBase::PumpIfDue(false, true);
    EXPECT_EQ(antiFreeze.Pumps, 2);
    std::thread([] { TIdAntiFreezeBase::PumpIfDue(true, true); }).join();
    EXPECT_EQ(antiFreeze.Pumps, 2);
}

TEST(AntiFreezeHook, TheLastOneConstructedIsRegisteredAndAnyDestructionClearsIt)
{
    auto first = std::make_unique<CountingAntiFreeze>();
    EXPECT_EQ(TIdAntiFreezeBase::Current(), first.get());
    CountingAntiFreeze second;
    EXPECT_EQ(TIdAntiFreezeBase::Current(), &second);
    first.reset();
    EXPECT_EQ(TIdAntiFreezeBase::Current(), nullptr);
    TIdAntiFreezeBase::PumpIfDue(true);
    EXPECT_EQ(second.Pumps, 0);
}

TEST(AntiFreezeHook, WithoutOneAWaitIsASingleCall)
{
    RecordingStack recording;
    ScopedStack scoped(&recording);
    ScriptedPeer peer;
    peer.Serve([](PeerSocket &p) { p.WaitForClose(); });
    TIdTCPConnection client;
    ConnectTo(client, peer.Port());
    EXPECT_FALSE(client.Socket()->WaitReadable(120));
    EXPECT_EQ(recording.SelectTimeouts, std::vector<int>{120});
    client.Disconnect();
    peer.Join();
}

}  // namespace
