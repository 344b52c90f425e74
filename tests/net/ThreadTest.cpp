// The worker thread base and the main-thread call queue.
#include "IdMainThreadQueue.h"
#include "IdThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <stdexcept>

namespace {

class ScriptedThread : public TIdThread {
public:
    ScriptedThread() : TIdThread(true) {}
    ~ScriptedThread() override { StopAndWait(); }

    std::atomic<int> Prepared{0}, Runs{0}, Finished{0}, MainThreadCalls{0};
    int FailOnRun = 0;
    bool CallMainThread = false;

protected:
    void PrepareLoop() override { ++Prepared; }
    void FinishLoop() override { ++Finished; }
    void RunOnce() override
    {
        const int run = ++Runs;
        if (run == FailOnRun)
            throw std::runtime_error("run " + std::to_string(run) + " failed");
        if (CallMainThread)
            RunInMainThread([this] {
                EXPECT_TRUE(IdMainThreadQueue::IsMainThread());
                ++MainThreadCalls;
            });
        else
            SleepFor(1);
    }
};

TEST(WorkerThread, CreatedStoppedAndStartedIntoItsLoop)
{
    ScriptedThread thread;
    EXPECT_TRUE(thread.IsStopped());
    EXPECT_EQ(thread.Prepared, 0);
    thread.Start();
    EXPECT_FALSE(thread.IsStopped());
    IdMainThreadQueue::DrainUntil([&] { return thread.Runs > 2; });
    EXPECT_EQ(thread.Prepared, 1);
    thread.StopAndWait();
    EXPECT_TRUE(thread.Terminated());
    EXPECT_EQ(thread.Finished, 1);
    EXPECT_TRUE(thread.FailureText.empty());
}

TEST(WorkerThread, AFailureIsRecordedReportedOnceAndEndsTheThread)
{
    ScriptedThread thread;
    thread.FailOnRun = 3;
    int reports = 0;
    std::string reported;
    thread.OnRunFailure = [&](TIdThread *, const std::exception &error) {
        ++reports;
        reported = error.what();
    };
    thread.Start();
    IdMainThreadQueue::DrainUntil([&] { return thread.Terminated(); });
    thread.StopAndWait();
    EXPECT_EQ(thread.FailureText, "run 3 failed");
    EXPECT_EQ(reported, "run 3 failed");
    EXPECT_EQ(reports, 1);
    EXPECT_EQ(thread.Finished, 1);
    EXPECT_EQ(thread.Runs, 3);
}

TEST(WorkerThread, StopAndWaitServesAThreadWaitingForTheMainThread)
{
    // Nothing drains the queue but StopAndWait itself.
    ScriptedThread thread;
    thread.CallMainThread = true;
    thread.Start();
    while (thread.Runs == 0)  // now in, or on its way into, RunInMainThread
        std::this_thread::yield();
    thread.StopAndWait();
    EXPECT_TRUE(thread.Terminated());
    EXPECT_EQ(thread.MainThreadCalls, thread.Runs);
    EXPECT_EQ(thread.Finished, 1);
}

TEST(WorkerThread, StoppingAThreadNeverStartedReturnsAtOnce)
{
    ScriptedThread thread;
    thread.StopAndWait();
    EXPECT_EQ(thread.Prepared, 0);
    EXPECT_TRUE(thread.Terminated());
}

TEST(MainThreadQueue, CallsComeBackWithTheirExceptions)
{
    std::exception_ptr seen;
    std::thread worker([&] {
        try {
            IdMainThreadQueue::RunAndWait([] { throw std::runtime_error("from the main thread"); });
        } catch (...) {
            seen = std::current_exception();
        }
    });
    IdMainThreadQueue::DrainUntil([&] { return seen != nullptr; });
    worker.join();
    ASSERT_TRUE(seen);
    EXPECT_THROW(std::rethrow_exception(seen), std::runtime_error);
}

TEST(MainThreadQueue, OneWakeUpForARunOfCallsAndAnotherWhileACallWaits)
{
    std::atomic<int> wakes{0};
    IdMainThreadQueue::SetWakeUp([&] { ++wakes; });
    int ran = 0;
    IdMainThreadQueue::Post([&] { ++ran; });
    IdMainThreadQueue::Post([&] { ++ran; });
    EXPECT_EQ(wakes, 1) << "the second call rides on the first one's wake-up";
    EXPECT_EQ(IdMainThreadQueue::Drain(), 2);
    IdMainThreadQueue::Post([&] { ++ran; });
    EXPECT_EQ(wakes, 2) << "once drained, a call wakes again";
    IdMainThreadQueue::Drain();

    // A call that waits in an event loop of its own (a dialog): the call
    // behind it is woken for, and that loop's Drain runs it.
    int wakesInDialog = 0, ranInDialog = 0;
    IdMainThreadQueue::Post([&] {
        wakesInDialog = wakes;
        ranInDialog = IdMainThreadQueue::Drain();
    });
    IdMainThreadQueue::Post([&] { ++ran; });
    EXPECT_EQ(IdMainThreadQueue::Drain(), 1);
    EXPECT_EQ(wakesInDialog, 4);
    EXPECT_EQ(ranInDialog, 1);
    IdMainThreadQueue::SetWakeUp(nullptr);
    // On the main thread a call runs at once.
    IdMainThreadQueue::RunAndWait([&] { ++ran; });
    EXPECT_EQ(ran, 5);
}

}  // namespace
