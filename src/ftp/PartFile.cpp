#include "PartFile.h"

#include "IdException.h"
#include "IdLocalPath.h"
#include "IdStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// Removes replaced files on a thread of its own: freeing the blocks of a
// large file takes longer than a window may wait (a gigabyte: a tenth of a
// second). What is queued is removed before the program ends.
class TDiscarder {
public:
    static TDiscarder &Instance()
    {
        static TDiscarder discarder;
        return discarder;
    }
    void Discard(std::string path)
    {
        {
            std::lock_guard lock(FMutex);
            FPaths.push_back(std::move(path));
            if (!FThread.joinable())
                FThread = std::thread([this] { Run(); });
        }
        FWake.notify_one();
    }
    ~TDiscarder()
    {
        {
            std::lock_guard lock(FMutex);
            FStopping = true;
        }
        FWake.notify_one();
        if (FThread.joinable())
            FThread.join();
    }

private:
    void Run()
    {
        std::unique_lock lock(FMutex);
        for (;;) {
            FWake.wait(lock, [this] { return FStopping || !FPaths.empty(); });
            while (!FPaths.empty()) {
                const std::string path = std::move(FPaths.front());
                FPaths.pop_front();
                lock.unlock();
                ::unlink(path.c_str());
                lock.lock();
            }
            if (FStopping)
                return;
        }
    }

    std::mutex FMutex;
    std::condition_variable FWake;
    std::deque<std::string> FPaths;
    std::thread FThread;
    bool FStopping = false;
};

}  // namespace

TPartFile::TPartFile(const std::string &target) : FTarget(target)
{
    FPath = LocalPath::Join(LocalPath::FolderPart(target), "." + LocalPath::NamePart(target) + ".part-XXXXXX");
    FHandle = ::mkostemp(FPath.data(), O_CLOEXEC);
    if (FHandle < 0) {
        FPath.clear();
        throw EFileStreamError("Cannot create file " + target);
    }
    // The file the user gets has the permissions a new file gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(FHandle, 0666 & ~mask);
}

TPartFile::~TPartFile()
{
    if (FHandle >= 0)
        ::close(FHandle);
    if (!FPath.empty())
        ::unlink(FPath.c_str());
}

int TPartFile::TakeHandle()
{
    return std::exchange(FHandle, -1);
}

void TPartFile::Commit(bool replace)
{
    // A file in the way is swapped out rather than freed here.
    struct stat info {};
    const bool fileInTheWay = ::lstat(FTarget.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode));
    if (replace && fileInTheWay &&
        ::renameat2(AT_FDCWD, FPath.c_str(), AT_FDCWD, FTarget.c_str(), RENAME_EXCHANGE) == 0) {
        TDiscarder::Instance().Discard(std::exchange(FPath, std::string()));
        return;
    }
    const int result = ::renameat2(AT_FDCWD, FPath.c_str(), AT_FDCWD, FTarget.c_str(), replace ? 0 : RENAME_NOREPLACE);
    if (result != 0) {
        if (errno == EEXIST)
            throw EIdFTPFileAlreadyExists("Destination file already exists.");
        throw EFileStreamError("Cannot create file " + FTarget);
    }
    FPath.clear();
}
