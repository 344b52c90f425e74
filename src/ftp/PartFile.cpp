#include "PartFile.h"

#include "IdException.h"
#include "IdLocalPath.h"
#include "IdStream.h"

#include <fcntl.h>
#include <dirent.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include <vector>

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

constexpr const char *PartSuffix = ".veldra-part";

std::string InfoPath(const std::string &part)
{
    return part + ".info";
}

// "<size> <time> <token>": what the server told of its file, and the
// part's own random token.
std::string Info(int64_t size, const std::string &time, const std::string &token)
{
    return std::to_string(size) + ' ' + time + ' ' + token + '\n';
}

std::string NewToken()
{
    unsigned char random[16];
    if (::getrandom(random, sizeof random, 0) != ssize_t(sizeof random))
        return {};
    static const char digits[] = "0123456789abcdef";
    std::string token;
    for (const unsigned char byte : random) {
        token += digits[byte >> 4];
        token += digits[byte & 15];
    }
    return token;
}

int64_t ChangeTime(const struct stat &status)
{
    return int64_t(status.st_ctim.tv_sec) * 1'000'000'000 + status.st_ctim.tv_nsec;
}

// A file opened as a part's may be anything by now: a link is not
// followed, a FIFO or a device not waited on, and anything but a regular
// file refused (-1).
int OpenRegular(const std::string &path, int flags, struct stat *info)
{
    const int handle = ::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return -1;
    if (::fstat(handle, info) != 0 || !S_ISREG(info->st_mode)) {
        ::close(handle);
        return -1;
    }
    return handle;
}

std::string ReadInfo(const std::string &part)
{
    struct stat info {};
    const int handle = OpenRegular(InfoPath(part), O_RDONLY, &info);
    if (handle < 0)
        return {};
    char buffer[256];
    const ssize_t n = ::read(handle, buffer, sizeof buffer);
    ::close(handle);
    return n > 0 ? std::string(buffer, size_t(n)) : std::string();
}

// A part's ".info" held open and locked while a run uses the part: the
// lock ends with the run, however it ends, so a part whose ".info" no one
// holds is no running transfer's. -1 when another run holds it.
// `locked` tells whether the lock was had: a file system without locks
// lets the part be used, but never taken as left behind.
int HoldInfo(const std::string &part, bool create, bool *locked = nullptr)
{
    const int handle = create ? ::open(InfoPath(part).c_str(),
                                       O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600)
                              : ::open(InfoPath(part).c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (handle < 0)
        return -1;
    const bool had = ::flock(handle, LOCK_EX | LOCK_NB) == 0;
    if (locked)
        *locked = had;
    if (!had && errno == EWOULDBLOCK) {
        ::close(handle);
        return -1;
    }
    return handle;
}

// Whether an ".info" reads as one this program writes: "<size> <time>
// <token>", the token 32 hex digits.
bool LooksLikeInfo(const std::string &info)
{
    const size_t first = info.find(' '), last = info.rfind(' ');
    if (first == std::string::npos || first == last || info.empty() || info.back() != '\n')
        return false;
    const std::string token = info.substr(last + 1, info.size() - last - 2);
    return token.size() == 32 && token.find_first_not_of("0123456789abcdef") == std::string::npos;
}

// The recorded part, opened for writing when it is still the very file
// this program left (same file, same length, its token in its ".info");
// -1 when anything differs. `info` gets what its ".info" says.
int OpenRecorded(const TPartRecord &record, std::string &info)
{
    if (record.Path.empty() || record.Token.empty())
        return -1;
    struct stat status {};
    const int handle = OpenRegular(record.Path, O_WRONLY, &status);
    if (handle < 0)
        return -1;
    info = ReadInfo(record.Path);
    const bool same = uint64_t(status.st_dev) == record.Device && uint64_t(status.st_ino) == record.Inode &&
                      ChangeTime(status) == record.Changed && int64_t(status.st_size) == record.Length &&
                      info.size() > record.Token.size() + 1 &&
                      info.compare(info.size() - record.Token.size() - 1, std::string::npos, record.Token + '\n') == 0;
    if (!same) {
        ::close(handle);
        return -1;
    }
    return handle;
}

// Whether a recorded part, whose ".info" says `info`, is of the server's
// file of this size and time, and shorter than it.
bool Continues(const TPartRecord &record, const std::string &info, int64_t remoteSize, const std::string &remoteTime)
{
    return remoteSize > 0 && !remoteTime.empty() && record.Length > 0 && record.Length < remoteSize &&
           info == Info(remoteSize, remoteTime, record.Token);
}

}  // namespace

void TPartFile::Discard(const TPartRecord &record)
{
    if (record.Path.empty() || record.Token.empty())
        return;
    // Its length and time may be any by now (a run killed while it grew):
    // the file and the token tell it is ours.
    struct stat status {};
    if (::lstat(record.Path.c_str(), &status) != 0 || !S_ISREG(status.st_mode) ||
        uint64_t(status.st_dev) != record.Device || uint64_t(status.st_ino) != record.Inode)
        return;
    const std::string info = ReadInfo(record.Path);
    if (info.size() <= record.Token.size() ||
        info.compare(info.size() - record.Token.size() - 1, std::string::npos, record.Token + '\n') != 0)
        return;
    ::unlink(InfoPath(record.Path).c_str());
    TDiscarder::Instance().Discard(record.Path);
}

int64_t TPartFile::Resumable(const TPartRecord &record, int64_t remoteSize, const std::string &remoteTime)
{
    std::string info;
    const int handle = OpenRecorded(record, info);
    if (handle < 0)
        return 0;
    ::close(handle);
    return Continues(record, info, remoteSize, remoteTime) ? record.Length : 0;
}

TPartFile::TPartFile(const std::string &target, int64_t remoteSize, const std::string &remoteTime,
                     const TPartRecord *from, bool resume)
    : FTarget(target)
{
    // Without a size and a time a later download could not tell whether
    // the server's file is still this one: such a part goes at the end.
    FKeep = remoteSize > 0 && !remoteTime.empty();
    std::string info;
    const int recorded = from && from->Target == target ? OpenRecorded(*from, info) : -1;
    if (recorded >= 0) {
        if (resume && Continues(*from, info, remoteSize, remoteTime) &&
            (FInfoHandle = HoldInfo(from->Path, false)) >= 0) {
            FHandle = recorded;
            FPath = from->Path;
            FToken = from->Token;
            FInfo = true;
            FDevice = from->Device;
            FInode = from->Inode;
            FOffset = from->Length;
            return;
        }
        // Ours, but of a file the server no longer has, or not wanted.
        ::close(recorded);
        ::unlink(from->Path.c_str());
        ::unlink(InfoPath(from->Path).c_str());
    }
    Create(remoteSize, remoteTime);
}

void TPartFile::Create(int64_t remoteSize, const std::string &remoteTime)
{
    // A long name is cut: the part's name has only to be its own.
    const std::string name = LocalPath::NamePart(FTarget).substr(0, 200);
    FPath = LocalPath::Join(LocalPath::FolderPart(FTarget), "." + name + ".XXXXXX" + PartSuffix);
    FHandle = ::mkostemps(FPath.data(), int(std::strlen(PartSuffix)), O_CLOEXEC);
    if (FHandle < 0) {
        FPath.clear();
        throw EFileStreamError("Cannot create file " + FTarget);
    }
    ::fchmod(FHandle, 0666 & ~CreationMask());
    struct stat status {};
    ::fstat(FHandle, &status);
    FDevice = uint64_t(status.st_dev);
    FInode = uint64_t(status.st_ino);
    // What the part belongs to, written before a byte of it arrives. The
    // name is new: anything already there is not ours, and is left alone.
    // A part not kept for a resume has its token too ("-1 -" for what it
    // is of, which no server's file is): should the run be killed, the
    // part is known as this program's, and removed the next time.
    FToken = NewToken();
    const std::string info = FKeep ? Info(remoteSize, remoteTime, FToken) : Info(-1, "-", FToken);
    // Locked before a byte is in it: one read without its lock is empty.
    FInfoHandle = HoldInfo(FPath, true);
    FInfo = !FToken.empty() && FInfoHandle >= 0 &&
            ::write(FInfoHandle, info.data(), info.size()) == ssize_t(info.size());
    if (FInfoHandle >= 0 && !FInfo) {
        ::unlink(InfoPath(FPath).c_str());
        ::close(std::exchange(FInfoHandle, -1));
    }
    if (!FInfo) {
        FKeep = false;
        FToken.clear();
    }
}

int64_t TPartFile::Length() const
{
    struct stat info {};
    if (FHandle >= 0 ? ::fstat(FHandle, &info) != 0 : ::lstat(FPath.c_str(), &info) != 0)
        return 0;
    return info.st_size;
}

void TPartFile::Truncate()
{
    if (FHandle >= 0 ? ::ftruncate(FHandle, 0) != 0 : ::truncate(FPath.c_str(), 0) != 0)
        throw EFileStreamError("Cannot write to \"" + FPath + "\". " + std::strerror(errno) + ".");
}

std::optional<TPartRecord> TPartFile::Record(bool evenEmpty) const
{
    struct stat info {};
    if (!(FKeep || (evenEmpty && FInfo)) || FPath.empty() || ::lstat(FPath.c_str(), &info) != 0 ||
        !S_ISREG(info.st_mode) ||
        uint64_t(info.st_dev) != FDevice || uint64_t(info.st_ino) != FInode || (info.st_size <= 0 && !evenEmpty))
        return std::nullopt;
    return TPartRecord{FTarget, FPath, int64_t(info.st_size), FDevice, FInode, ChangeTime(info), FToken};
}

TPartFile::~TPartFile()
{
    if (FHandle >= 0)
        ::close(FHandle);
    // A part with something in it stays for a resume.
    if (!FPath.empty() && !(FKeep && Length() > 0)) {
        ::unlink(FPath.c_str());
        if (FInfo)
            ::unlink(InfoPath(FPath).c_str());
    }
    // Its lock goes last, once nothing more is done to it.
    if (FInfoHandle >= 0)
        ::close(FInfoHandle);
}

void TLeftBehindParts::Discard(const std::string &target, const TPartRecords &known)
{
    const std::string folder = LocalPath::FolderPart(target);
    auto [found, first] = FByFolder.try_emplace(folder);
    std::vector<std::string> &names = found->second;
    if (first) {
        if (DIR *listing = ::opendir(folder.c_str())) {
            while (const dirent *entry = ::readdir(listing))
                if (std::string_view(entry->d_name).ends_with(PartSuffix))
                    names.emplace_back(entry->d_name);
            ::closedir(listing);
        }
    }
    const std::string stem = "." + LocalPath::NamePart(target).substr(0, 200) + ".";
    const size_t length = stem.size() + 6 + std::strlen(PartSuffix);
    // Each name is looked at once: what stays is a part in use or recorded.
    const auto mine = std::partition(names.begin(), names.end(), [&](const std::string &name) {
        return !(name.size() == length && name.starts_with(stem));
    });
    std::vector<std::string> parts;
    for (auto name = mine; name != names.end(); ++name)
        parts.push_back(LocalPath::Join(folder, *name));
    names.erase(mine, names.end());
    for (const std::string &part : parts) {
        if (std::any_of(known.begin(), known.end(), [&](const auto &record) { return record.second.Path == part; }))
            continue;
        struct stat status {};
        if (::lstat(part.c_str(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        bool locked = false;
        const int held = HoldInfo(part, false, &locked);
        if (held < 0)
            continue;
        // Removed while held: no run takes it up in between.
        if (locked && LooksLikeInfo(ReadInfo(part))) {
            ::unlink(InfoPath(part).c_str());
            TDiscarder::Instance().Discard(part);
        }
        ::close(held);
    }
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
        TDiscarder::Instance().Discard(FPath);
    } else if (::renameat2(AT_FDCWD, FPath.c_str(), AT_FDCWD, FTarget.c_str(), replace ? 0 : RENAME_NOREPLACE) != 0) {
        if (errno == EEXIST)
            throw EIdFTPFileAlreadyExists("Destination file already exists.");
        throw EFileStreamError("Cannot create file " + FTarget);
    }
    // The part is gone: so is what it belonged to.
    if (FInfo)
        ::unlink(InfoPath(FPath).c_str());
    if (FInfoHandle >= 0)
        ::close(std::exchange(FInfoHandle, -1));
    FPath.clear();
    FKeep = false;
    FInfo = false;
}
