// The process-wide queue of calls that must run on the main (user
// interface) thread. Worker threads put calls in; the window toolkit drains
// them on its thread when woken, and so does an owner that waits for a
// worker, so a worker blocked in RunAndWait never deadlocks its owner.
#pragma once

#include <chrono>
#include <functional>

namespace IdMainThreadQueue {

// The main thread: the one that started the program.
bool IsMainThread();

// Runs `call` on the main thread and waits for it; an exception it raises
// comes back to the caller. On the main thread itself it runs at once.
void RunAndWait(std::function<void()> call);

// Queues `call` for the main thread and returns at once.
void Post(std::function<void()> call);

// Runs the calls queued so far; main thread only. Returns how many ran.
int Drain();

// Drains until `done` answers true, waiting between drains for a new call
// or for Notify, at most `slice` at a time.
void DrainUntil(const std::function<bool()> &done,
                std::chrono::milliseconds slice = std::chrono::milliseconds(10));

// Wakes DrainUntil to look at its condition again.
void Notify();

// Called from the queuing thread when a call is queued and no wake-up is
// on its way yet, so the toolkit can schedule a Drain on its own thread;
// that Drain runs every call queued by then. May be empty.
void SetWakeUp(std::function<void()> wakeUp);

}  // namespace IdMainThreadQueue
