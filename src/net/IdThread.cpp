#include "IdThread.h"

#include "IdMainThreadQueue.h"

#include <chrono>

TIdThread::TIdThread(bool createSuspended) : FStopRequested(createSuspended) {}

TIdThread::~TIdThread()
{
    if (!FThread.joinable())
        return;
    // The wait runs queued main-thread calls, which may raise; a destructor
    // must not, and the thread ends either way.
    try {
        StopAndWait();
    } catch (...) {
        if (FThread.joinable())
            FThread.join();
    }
}

void TIdThread::Start()
{
    if (!IsStopped() && FThread.joinable())
        return;
    {
        std::lock_guard lock(FMutex);
        FStopRequested = false;
    }
    if (!FThread.joinable() && !FTerminated)
        FThread = std::thread(&TIdThread::Execute, this);
    FWake.notify_all();
}

void TIdThread::Terminate()
{
    {
        std::lock_guard lock(FMutex);
        FTerminated = true;
    }
    FWake.notify_all();
}

void TIdThread::StopAndWait()
{
    {
        std::lock_guard lock(FMutex);
        FTerminated = true;
        FStopRequested = true;
    }
    FWake.notify_all();
    if (!FThread.joinable())
        return;
    if (IdMainThreadQueue::IsMainThread())
        IdMainThreadQueue::DrainUntil([this] { return FFinished.load(); });
    FThread.join();
}

void TIdThread::RunInMainThread(const std::function<void()> &call)
{
    IdMainThreadQueue::RunAndWait(call);
}

void TIdThread::SleepFor(int milliseconds)
{
    std::unique_lock lock(FMutex);
    FWake.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return FTerminated.load(); });
}

void TIdThread::Execute()
{
    try {
        for (bool ended = false; !ended && !FTerminated;) {
            // FinishLoop closes every round, also one that failed; an error
            // it raises itself takes the place of the round's, as a finally
            // block's does.
            std::exception_ptr failure;
            try {
                if (IsStopped()) {
                    std::unique_lock lock(FMutex);
                    FWake.wait(lock, [this] { return FTerminated || !FStopRequested; });
                    ended = FTerminated;
                }
                if (!ended) {
                    PrepareLoop();
                    while (!IsStopped())
                        RunOnce();
                }
            } catch (...) {
                failure = std::current_exception();
            }
            FinishLoop();
            if (failure)
                std::rethrow_exception(failure);
        }
    } catch (const std::exception &error) {
        FailureText = error.what();
        if (OnRunFailure)
            OnRunFailure(this, error);
        FTerminated = true;
    } catch (...) {
        FailureText = "Unknown error.";
        FTerminated = true;
    }
    FFinished = true;
    IdMainThreadQueue::Notify();
}
