// The IP watch: online state, history rules, the history file and the
// thread's slices. Checks are driven directly; one test runs the thread.
#include "IdIPWatch.h"
#include "IdMainThreadQueue.h"
#include "TempDir.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

class ScriptedWatch : public TIdIPWatch {
public:
    std::deque<std::string> Addresses;
    std::atomic<int> Reads = 0;
    std::atomic<int> ReadsOnTheMainThread = 0;

    void Check(const std::string &address)
    {
        Addresses.push_back(address);
        PollAddress();
    }

protected:
    std::string ReadLocalAddress() override
    {
        ++Reads;
        ReadsOnTheMainThread += IdMainThreadQueue::IsMainThread();
        if (Addresses.empty())
            return "127.0.0.1";
        std::string address = Addresses.front();
        Addresses.pop_front();
        if (address == "fail")
            throw std::runtime_error("no address");
        return address;
    }
};

class IPWatch : public ::testing::Test {
protected:
    IPWatch()
    {
        Watch.HistoryFilename = Dir.File("iphist.dat");
        Watch.HistoryEnabled = false;
        Watch.OnStatusChanged = [this](TIdIPWatch *) { ++Changes; };
    }
    TempDir Dir;
    ScriptedWatch Watch;
    int Changes = 0;
};

TEST_F(IPWatch, GoingOfflineRemembersTheAddressOnce)
{
    Watch.Check("10.0.0.5");
    EXPECT_TRUE(Watch.HasAddress());
    EXPECT_EQ(Changes, 1);
    Watch.Check("10.0.0.6");  // new address, still online: nothing
    EXPECT_EQ(Changes, 1);
    EXPECT_TRUE(Watch.AddressHistory().empty());
    Watch.Check("127.0.0.1");
    EXPECT_EQ(Changes, 2);
    EXPECT_EQ(Watch.PreviousAddress(), "10.0.0.6");
    EXPECT_EQ(Watch.AddressHistory(), std::vector<std::string>{"10.0.0.6"});
    Watch.Check("10.0.0.6");
    Watch.Check("");
    EXPECT_EQ(Watch.AddressHistory(), std::vector<std::string>{"10.0.0.6"});
    EXPECT_EQ(Changes, 4);
}

TEST_F(IPWatch, HistoryKeepsTheNewestEntries)
{
    Watch.SetMaxHistoryEntries(2);
    for (const char *address : {"10.0.0.1", "10.0.0.2", "10.0.0.3"}) {
        Watch.Check(address);
        Watch.Check("127.0.0.1");
    }
    EXPECT_EQ(Watch.AddressHistory(), (std::vector<std::string>{"10.0.0.2", "10.0.0.3"}));
    Watch.SetMaxHistoryEntries(1);
    EXPECT_EQ(Watch.AddressHistory(), std::vector<std::string>{"10.0.0.3"});
}

TEST_F(IPWatch, AFailedReadIsSwallowed)
{
    Watch.Check("10.0.0.1");
    Watch.Check("fail");
    EXPECT_EQ(Watch.CurrentAddress(), "10.0.0.1");
    EXPECT_TRUE(Watch.HasAddress());
    EXPECT_EQ(Changes, 1);
}

TEST(IPWatchHistory, WrittenAtTheEndOnlyWhenEnabled)
{
    TempDir dir;
    for (bool enabled : {false, true}) {
        const std::string path = dir.File(enabled ? "on.dat" : "off.dat");
        {
            ScriptedWatch watch;
            watch.HistoryFilename = path;
            watch.HistoryEnabled = enabled;
            watch.Check("10.1.1.1");
            watch.Check("127.0.0.1");
            watch.Check("10.2.2.2");  // online at the end: added then
        }
        EXPECT_EQ(std::filesystem::exists(path), enabled);
        if (enabled) {
            std::ifstream in(path, std::ios::binary);
            std::stringstream all;
            all << in.rdbuf();
            EXPECT_EQ(all.str(), "10.1.1.1\r\n10.2.2.2\r\n");
        }
    }
}

class RecordingWatchThread : public TIdIPWatchThread {
public:
    using TIdIPWatchThread::RunOnce;
    std::vector<int> Sleeps;

protected:
    void SleepFor(int milliseconds) override { Sleeps.push_back(milliseconds); }
};

TEST(IPWatchThread, ChecksAfterEverySliceOfAtMost500)
{
    for (const auto &[interval, slices] : std::vector<std::pair<uint32_t, std::vector<int>>>{
             {1000, {500, 500}}, {300, {300}}, {1200, {500, 500, 200}}}) {
        RecordingWatchThread thread;
        int polls = 0;
        thread.PollHandler = [&](const std::string &, bool) { ++polls; };
        thread.Interval = interval;
        thread.RunOnce();
        EXPECT_EQ(thread.Sleeps, slices) << interval;
        EXPECT_EQ(polls, int(slices.size())) << interval;
    }
}

// The look-up runs on the watch's thread, the state changes on the main
// thread, and nothing runs after the stop.
TEST(IPWatchThread, LooksUpOnItsOwnThreadAndChecksOnTheMainThreadUntilStopped)
{
    ScriptedWatch watch;
    watch.HistoryEnabled = false;
    watch.Addresses = {"10.0.0.7"};
    int changes = 0;
    watch.OnStatusChanged = [&](TIdIPWatch *) { changes += IdMainThreadQueue::IsMainThread(); };
    watch.SetWatchInterval(5);
    watch.SetActive(true);
    IdMainThreadQueue::DrainUntil([&] { return watch.Reads >= 3; });
    watch.SetActive(false);
    const int reads = watch.Reads;
    IdMainThreadQueue::Drain();
    EXPECT_EQ(watch.Reads, reads);
    EXPECT_EQ(watch.ReadsOnTheMainThread, 0);
    EXPECT_EQ(changes, 2);  // online with 10.0.0.7, then offline
    EXPECT_FALSE(watch.Active());
}

}  // namespace
