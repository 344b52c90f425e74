#include "IdMainThreadQueue.h"

#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

namespace IdMainThreadQueue {

namespace {

// Set during static initialisation, which runs on the program's first thread.
const std::thread::id GMainThread = std::this_thread::get_id();

std::mutex GMutex;
std::condition_variable GChanged;
std::deque<std::function<void()>> GCalls;
std::function<void()> GWakeUp;
unsigned long GGeneration = 0;
// A wake-up is on its way to a Drain: calls queued meanwhile need no other.
// Thousands of small files queue several calls each; one wake-up for a
// run of them spares the worker a system call and the main thread a turn.
bool GWakePending = false;

// Under GMutex: whether the caller is to wake the main thread.
bool WakeNeeded()
{
    if (GWakePending || !GWakeUp)
        return false;
    GWakePending = true;
    return true;
}

}  // namespace

bool IsMainThread()
{
    return std::this_thread::get_id() == GMainThread;
}

void Post(std::function<void()> call)
{
    std::function<void()> wakeUp;
    {
        std::lock_guard lock(GMutex);
        GCalls.push_back(std::move(call));
        ++GGeneration;
        if (WakeNeeded())
            wakeUp = GWakeUp;
    }
    GChanged.notify_all();
    if (wakeUp)
        wakeUp();
}

void RunAndWait(std::function<void()> call)
{
    if (IsMainThread()) {
        call();
        return;
    }
    auto done = std::make_shared<std::promise<void>>();
    std::future<void> finished = done->get_future();
    Post([call = std::move(call), done] {
        try {
            call();
            done->set_value();
        } catch (...) {
            done->set_exception(std::current_exception());
        }
    });
    finished.get();
}

int Drain()
{
    {
        std::lock_guard lock(GMutex);
        GWakePending = false;
    }
    int count = 0;
    for (;;) {
        std::function<void()> call;
        std::function<void()> wakeUp;
        {
            std::lock_guard lock(GMutex);
            if (GCalls.empty())
                return count;
            call = std::move(GCalls.front());
            GCalls.pop_front();
            // A call may open a dialog whose own event loop waits: the
            // calls behind it must still reach the main thread meanwhile.
            if (!GCalls.empty() && WakeNeeded())
                wakeUp = GWakeUp;
        }
        if (wakeUp)
            wakeUp();
        call();
        ++count;
    }
}

void Notify()
{
    {
        std::lock_guard lock(GMutex);
        ++GGeneration;
    }
    GChanged.notify_all();
}

void DrainUntil(const std::function<bool()> &done, std::chrono::milliseconds slice)
{
    for (;;) {
        unsigned long seen;
        {
            std::lock_guard lock(GMutex);
            seen = GGeneration;
        }
        Drain();
        if (done())
            return;
        std::unique_lock lock(GMutex);
        GChanged.wait_for(lock, slice, [&] { return GGeneration != seen; });
    }
}

void SetWakeUp(std::function<void()> wakeUp)
{
    std::lock_guard lock(GMutex);
    GWakeUp = std::move(wakeUp);
    GWakePending = false;
}

}  // namespace IdMainThreadQueue
