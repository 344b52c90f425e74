#include "IdThread.h"

#include "IdMainThreadQueue.h"

#include <chrono>

TIdThread::TIdThread(bool createSuspended) : FStopRequested(createSuspended) {}

TIdThread::~TIdThread()
{
    if (FThread.joinable())
        StopAndWait();
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
        while (!FTerminated) {
            struct Finish {
                TIdThread *Thread;
                ~Finish() noexcept(false) { Thread->FinishLoop(); }
            } finish{this};
            if (IsStopped()) {
                std::unique_lock lock(FMutex);
                FWake.wait(lock, [this] { return FTerminated || !FStopRequested; });
                if (FTerminated)
                    break;
            }
            PrepareLoop();
            while (!IsStopped())
                RunOnce();
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
