#include "FileChange.h"

#include "IdMainThreadQueue.h"

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>

namespace {

uint32_t WatchMask(unsigned filter)
{
    uint32_t mask = IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
    if (filter & (fncFileName | fncDirName))
        mask |= IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO;
    if (filter & (fncAttributes | fncSecurity))
        mask |= IN_ATTRIB;
    if (filter & (fncSize | fncLastWrite))
        mask |= IN_MODIFY | IN_CLOSE_WRITE;
    return mask;
}

bool Matches(uint32_t event, unsigned filter)
{
    if (event & (IN_DELETE_SELF | IN_MOVE_SELF))
        return true;  // the watched folder itself went away
    const bool names = event & (IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO);
    if (names && (event & IN_ISDIR) && (filter & fncDirName))
        return true;
    if (names && !(event & IN_ISDIR) && (filter & fncFileName))
        return true;
    if ((event & IN_ATTRIB) && (filter & (fncAttributes | fncSecurity)))
        return true;
    if ((event & (IN_MODIFY | IN_CLOSE_WRITE)) && (filter & (fncSize | fncLastWrite)))
        return true;
    return false;
}

}  // namespace

TFileChangeThread::TFileChangeThread(const std::string &folder, unsigned notifyFilter, bool watchSubtree)
    : WatchedFolder(folder), NotifyFilter(notifyFilter), WatchSubtree(watchSubtree)
{
}

std::shared_ptr<TFileChangeThread> TFileChangeThread::Create(const std::string &folder, unsigned notifyFilter,
                                                              bool watchSubtree)
{
    std::shared_ptr<TFileChangeThread> watcher(new TFileChangeThread(folder, notifyFilter, watchSubtree));
    std::thread(&TFileChangeThread::Execute, watcher.get(), watcher).detach();
    return watcher;
}

void TFileChangeThread::Terminate()
{
    FTerminated = true;
    // Wakes the thread's wait; it ends at once.
    FWake.Raise();
}

bool TFileChangeThread::Watch(int descriptor)
{
    const uint32_t mask = WatchMask(NotifyFilter);
    if (inotify_add_watch(descriptor, WatchedFolder.c_str(), mask) < 0)
        return false;
    if (WatchSubtree) {
        std::error_code error;
        for (std::filesystem::recursive_directory_iterator it(WatchedFolder, error), end; !error && it != end;
             it.increment(error))
            if (it->is_directory(error) && !it->is_symlink(error))
                inotify_add_watch(descriptor, it->path().c_str(), mask);
    }
    return true;
}

bool TFileChangeThread::ReadNotices(int descriptor)
{
    alignas(inotify_event) char buffer[16384];
    bool matched = false;
    for (;;) {
        const ssize_t length = ::read(descriptor, buffer, sizeof buffer);
        if (length <= 0)
            return matched;
        for (ssize_t offset = 0; offset < length;) {
            const auto *event = reinterpret_cast<const inotify_event *>(buffer + offset);
            ++FNoticesRead;
            matched = matched || Matches(event->mask, NotifyFilter);
            offset += ssize_t(sizeof(inotify_event) + event->len);
        }
    }
}

void TFileChangeThread::Execute(std::shared_ptr<TFileChangeThread> self)
{
    const int descriptor = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (descriptor < 0 || !Watch(descriptor)) {
        if (descriptor >= 0)
            ::close(descriptor);
        FStopped = true;
        FFinished = true;
        return;
    }
    FWatching = true;

    for (;;) {
        pollfd fds[2] = {{descriptor, POLLIN, 0}, {FWake.Handle(), POLLIN, 0}};
        // Without a wake-up descriptor, the stop request is looked at
        // every 10 ms instead.
        const bool wakes = FWake.Handle() >= 0;
        const int ready = ::poll(fds, wakes ? 2 : 1, wakes ? -1 : 10);
        if (FTerminated) {
            FStopped = true;
            break;
        }
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            break;  // a failed wait ends the watch like a change
        if ((fds[0].revents & POLLIN) && ReadNotices(descriptor))
            break;
    }
    ::close(descriptor);

    if (!FStopped) {
        // Terminate is called on the user-interface thread, where this runs
        // too: a stop request that came after the change still wins.
        IdMainThreadQueue::Post([self] {
            if (!self->FTerminated && self->OnTerminate)
                self->OnTerminate(self.get());
        });
    }
    FFinished = true;
}
