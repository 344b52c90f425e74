#include "PartFile.h"

#include "IdException.h"
#include "IdLocalPath.h"
#include "IdStream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace {

// The process's file-creation mask. Reading it with umask() sets it for a
// moment, when a file another thread creates would get no mask at all:
// the kernel tells it without that since Linux 4.7.
mode_t CreationMask()
{
    static const mode_t mask = [] {
        const std::string status = [] {
            std::ifstream in("/proc/self/status");
            return std::string(std::istreambuf_iterator<char>(in), {});
        }();
        const size_t at = status.find("\nUmask:");
        if (at != std::string::npos)
            return mode_t(std::strtoul(status.c_str() + at + 8, nullptr, 8));
        const mode_t old = ::umask(0);
        ::umask(old);
        return old;
    }();
    return mask;
}

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
    ::fchmod(FHandle, 0666 & ~CreationMask());
}

namespace {

std::string InfoPath(const std::string &part)
{
    return part + ".info";
}

// "<size> <time>", as the server told them.
std::string Origin(int64_t size, const std::string &time)
{
    return std::to_string(size) + ' ' + time + '\n';
}

std::string ReadSmallFile(const std::string &path)
{
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (handle < 0)
        return {};
    char buffer[128];
    const ssize_t n = ::read(handle, buffer, sizeof buffer);
    ::close(handle);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

}  // namespace

std::string TPartFile::ResumablePath(const std::string &target)
{
    return LocalPath::Join(LocalPath::FolderPart(target), "." + LocalPath::NamePart(target) + ".veldra-part");
}

int64_t TPartFile::Resumable(const std::string &target, int64_t remoteSize, const std::string &remoteTime)
{
    if (remoteSize <= 0 || remoteTime.empty())
        return 0;
    const std::string part = ResumablePath(target);
    struct stat info {};
    if (::lstat(part.c_str(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size >= remoteSize)
        return 0;
    return ReadSmallFile(InfoPath(part)) == Origin(remoteSize, remoteTime) ? int64_t(info.st_size) : 0;
}

TPartFile::TPartFile(const std::string &target, int64_t remoteSize, const std::string &remoteTime)
    : FTarget(target), FPath(ResumablePath(target)), FFixed(true)
{
    // Without a size and a time a later download could not tell whether
    // the server's file is still this one: such a part goes at the end.
    FKeep = remoteSize > 0 && !remoteTime.empty();
    FHandle = ::open(FPath.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (FHandle < 0) {
        FPath.clear();
        throw EFileStreamError("Cannot create file " + target);
    }
    const std::string info = InfoPath(FPath);
    if (!FKeep) {
        ::unlink(info.c_str());
        return;
    }
    // What the part belongs to, written before a byte of it arrives.
    const std::string origin = Origin(remoteSize, remoteTime);
    const int handle = ::open(info.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (handle < 0 || ::write(handle, origin.data(), origin.size()) != ssize_t(origin.size()))
        FKeep = false;
    if (handle >= 0)
        ::close(handle);
}

int64_t TPartFile::Length() const
{
    struct stat info {};
    if (FHandle >= 0 ? ::fstat(FHandle, &info) != 0 : ::stat(FPath.c_str(), &info) != 0)
        return 0;
    return info.st_size;
}

void TPartFile::Truncate()
{
    if (FHandle >= 0 ? ::ftruncate(FHandle, 0) != 0 : ::truncate(FPath.c_str(), 0) != 0)
        throw EFileStreamError("Cannot write to \"" + FPath + "\". " + std::strerror(errno) + ".");
}

TPartFile::~TPartFile()
{
    if (FHandle >= 0)
        ::close(FHandle);
    if (FPath.empty())
        return;
    // A part with something in it stays for a resume.
    if (FKeep && Length() > 0)
        return;
    ::unlink(FPath.c_str());
    if (FKeep)
        ::unlink(InfoPath(FPath).c_str());
}

int TPartFile::TakeHandle()
{
    return std::exchange(FHandle, -1);
}

void TPartFile::ForgetOrigin()
{
    ::unlink(InfoPath(FPath).c_str());
    FPath.clear();
    FKeep = false;
}

void TPartFile::Commit(bool replace)
{
    // A file in the way is swapped out rather than freed here.
    struct stat info {};
    const bool fileInTheWay = ::lstat(FTarget.c_str(), &info) == 0 && (S_ISREG(info.st_mode) || S_ISLNK(info.st_mode));
    // A fixed name may be taken again by the next part before the discard
    // came round; such a part replaces the file in place (it is on a
    // worker's thread, where the wait harms no one).
    if (replace && fileInTheWay && !FFixed &&
        ::renameat2(AT_FDCWD, FPath.c_str(), AT_FDCWD, FTarget.c_str(), RENAME_EXCHANGE) == 0) {
        TDiscarder::Instance().Discard(FPath);
        ForgetOrigin();
        return;
    }
    const int result = ::renameat2(AT_FDCWD, FPath.c_str(), AT_FDCWD, FTarget.c_str(), replace ? 0 : RENAME_NOREPLACE);
    if (result != 0) {
        if (errno == EEXIST)
            throw EIdFTPFileAlreadyExists("Destination file already exists.");
        throw EFileStreamError("Cannot create file " + FTarget);
    }
    ForgetOrigin();
}
