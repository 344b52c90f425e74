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
    int count = 0;
    for (;;) {
        std::function<void()> call;
        {
            std::lock_guard lock(GMutex);
            if (GCalls.empty())
                return count;
            call = std::move(GCalls.front());
            GCalls.pop_front();
        }
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
}

}  // namespace IdMainThreadQueue
