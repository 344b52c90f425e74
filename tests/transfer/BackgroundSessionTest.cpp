// A session whose calls run on a thread of their own: the caller's event
// loop runs while a call waits, one call at a time; entries reach the
// caller's thread in order; failures come back as they were, from the
// session or from the caller's own reader; and a thread without an event
// loop (a transfer's) waits plainly.
#include "BackgroundSession.h"
#include "MemorySession.h"
#include "SessionSettings.h"

#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <thread>

namespace {

class BackgroundSession : public ::testing::Test {
protected:
    BackgroundSession() : Session(Server.Maker()(TSessionSettings{}))
    {
        for (int i = 0; i < 300; ++i)
            Server.AddFile("/file " + std::to_string(1000 + i), "x");
        TSessionSettings settings;
        settings.User = "tester";
        Session.Connect(settings);
    }

    // The names a listing brings, each checked to arrive on this thread.
    std::vector<std::string> Names(bool &onThisThread)
    {
        std::vector<std::string> names;
        const auto caller = std::this_thread::get_id();
        onThisThread = true;
        Session.List(
            {},
            [&](TListingEntry &&entry) {
                onThisThread = onThisThread && std::this_thread::get_id() == caller;
                names.push_back(entry.Name);
            },
            nullptr);
        return names;
    }

    TMemoryServer Server;
    TBackgroundSession Session;
};

TEST_F(BackgroundSession, TheCallersLoopRunsWhileACallWaitsAndNoSecondCallGoesMeanwhile)
{
    // The listing waits until a timer of the caller's loop has run (or,
    // were the loop stopped, until the gate gives up).
    std::promise<void> open;
    std::shared_future<void> gate = open.get_future().share();
    Server.BeforeList = [gate] { gate.wait_for(std::chrono::seconds(10)); };
    bool ranMeanwhile = false, busyMeanwhile = false;
    std::string refused;
    QTimer::singleShot(0, [&] {
        ranMeanwhile = true;
        busyMeanwhile = Session.Busy();
        try {
            (void)Session.CurrentFolder();
        } catch (const EIdFTPBusy &error) {
            refused = error.what();
        }
        open.set_value();
    });
    bool onThisThread = false;
    const std::vector<std::string> names = Names(onThisThread);

    EXPECT_TRUE(ranMeanwhile);
    EXPECT_TRUE(busyMeanwhile);
    EXPECT_EQ(refused, "Busy: another command is in progress.");
    EXPECT_TRUE(onThisThread);
    EXPECT_EQ(names.size(), 300u);
    EXPECT_TRUE(std::is_sorted(names.begin(), names.end()));
    EXPECT_FALSE(Session.Busy());
    EXPECT_TRUE(Session.Connected());
}

TEST_F(BackgroundSession, FailuresComeBackAsTheyWereAndTheSessionGoesOn)
{
    try {
        Session.EnterFolder("/missing");
        ADD_FAILURE() << "entered a folder that is not there";
    } catch (const EIdProtocolReplyError &refusal) {
        EXPECT_EQ(refusal.ReplyCode, 550);
    }
    // The caller's reader stops the listing: its exception, not another.
    int read = 0;
    EXPECT_THROW(Session.List(
                     {},
                     [&](TListingEntry &&) {
                         if (++read == 3)
                             throw std::runtime_error("enough");
                     },
                     nullptr),
                 std::runtime_error);
    EXPECT_EQ(read, 3);
    EXPECT_EQ(Session.CurrentFolder(), "/");
}

TEST_F(BackgroundSession, AThreadWithoutAnEventLoopWaitsPlainly)
{
    bool onThisThread = false;
    size_t count = 0;
    std::thread([&] { count = Names(onThisThread).size(); }).join();
    EXPECT_TRUE(onThisThread);
    EXPECT_EQ(count, 300u);
}

}  // namespace
