// The base of the network layer's worker threads: a loop of RunOnce calls
// framed by PrepareLoop and FinishLoop, a stop state that parks the thread
// without ending it, and the record of the exception that ended it.
//
// The thread itself starts at the first Start (a constructor cannot start
// it: the subclass would not be built yet). Destroy only a stopped thread:
// subclasses call StopAndWait in their own destructor.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// The base of what a thread may own in its Data field.
class TIdThreadData {
public:
    virtual ~TIdThreadData() = default;
};

class TIdThread {
public:
    explicit TIdThread(bool createSuspended = true);
    virtual ~TIdThread();
    TIdThread(const TIdThread &) = delete;
    TIdThread &operator=(const TIdThread &) = delete;

    bool IsStopped() const { return FTerminated || FStopRequested; }
    bool Terminated() const { return FTerminated; }
    // Leaves the stopped state and resumes (or first starts) the thread.
    void Start();
    // Asks the thread to end, parks it, and waits until it has ended,
    // running main-thread calls it queues meanwhile.
    virtual void StopAndWait();
    void Terminate();

    std::string FailureText;
    // What a subclass keeps with its thread; freed with the thread object.
    std::unique_ptr<TIdThreadData> Data;
    std::function<void(TIdThread *, const std::exception &)> OnRunFailure;

protected:
    virtual void RunOnce() = 0;
    virtual void PrepareLoop() {}
    virtual void FinishLoop() {}
    // Runs `call` on the main thread and waits for it.
    void RunInMainThread(const std::function<void()> &call);
    // Sleeps, ending early when the thread is told to terminate.
    virtual void SleepFor(int milliseconds);

private:
    void Execute();

    std::thread FThread;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStopRequested;
    std::atomic<bool> FFinished{false};
    std::mutex FMutex;
    std::condition_variable FWake;
};
