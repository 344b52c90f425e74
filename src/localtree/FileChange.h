// Watches one folder for one change, on a thread of its own, and tells its
// owner on the user-interface thread. Linux has no change handles: the
// thread waits on an inotify descriptor and on an event descriptor that a
// stop request writes to, so it ends at once.
//
// The owner holds the watcher by a shared pointer and may drop it at any
// time; the thread keeps its own reference until it ends. Once Terminate
// was called, no completion reaches the owner, not even for a change seen
// just before.
#pragma once

#include "IdWakeSignal.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>

// Change kinds, as a set of bits.
enum : unsigned {
    fncFileName = 0x1,
    fncDirName = 0x2,
    fncAttributes = 0x4,
    fncSize = 0x8,
    fncLastWrite = 0x10,
    fncSecurity = 0x100,
};

class TFileChangeThread : public std::enable_shared_from_this<TFileChangeThread> {
public:
    // Sets the fields, then starts the thread.
    static std::shared_ptr<TFileChangeThread> Create(const std::string &folder, unsigned notifyFilter,
                                                     bool watchSubtree);

    TFileChangeThread(const TFileChangeThread &) = delete;
    TFileChangeThread &operator=(const TFileChangeThread &) = delete;

    const std::string WatchedFolder;
    const unsigned NotifyFilter;
    const bool WatchSubtree;

    // Raised on the user-interface thread when, and only when, a change was
    // seen and Terminate was not called. Set it right after Create, on that
    // thread.
    std::function<void(TFileChangeThread *)> OnTerminate;

    // The stop request; call it on the user-interface thread.
    void Terminate();
    // Set when the watcher ended without a change.
    bool Stopped() const { return FStopped; }
    // The watch is in place: changes from now on are seen.
    bool Watching() const { return FWatching; }
    // The thread has ended.
    bool Finished() const { return FFinished; }
    // How many change notices the watch has read, matching or not.
    int NoticesRead() const { return FNoticesRead; }

private:
    TFileChangeThread(const std::string &folder, unsigned notifyFilter, bool watchSubtree);
    void Execute(std::shared_ptr<TFileChangeThread> self);
    bool Watch(int descriptor);
    // True when a notice of the kinds asked for was read.
    bool ReadNotices(int descriptor);

    TIdWakeSignal FWake;
    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FStopped{false};
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FWatching{false};
    std::atomic<int> FNoticesRead{0};
};
