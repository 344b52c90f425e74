#include "IdStream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// ---- TMemoryStream ----------------------------------------------------------

int64_t TMemoryStream::Read(void *buffer, int64_t count)
{
    const int64_t n = std::clamp<int64_t>(Size() - FPosition, 0, std::max<int64_t>(count, 0));
    if (n > 0)
        std::memcpy(buffer, FData.data() + FPosition, size_t(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void *buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    // Most writes add at the end: no zeros first, then the copy.
    if (FPosition == Size()) {
        FData.append(static_cast<const char *>(buffer), size_t(count));
        FPosition += count;
        return count;
    }
    if (FPosition + count > Size())
        FData.resize(size_t(FPosition + count));
    std::memcpy(FData.data() + FPosition, buffer, size_t(count));
    FPosition += count;
    return count;
}

void TMemoryStream::SetSize(int64_t size)
{
    FData.resize(size_t(std::max<int64_t>(size, 0)));
    FPosition = std::min(FPosition, Size());
}

void TMemoryStream::Clear()
{
    FData.clear();
    FPosition = 0;
}

// ---- TFileStream --------------------------------------------------------------

TFileStream::TFileStream(const std::string &fileName, TMode mode) : FFileName(fileName)
{
    int flags = O_CLOEXEC;
    switch (mode) {
    case fmCreate: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
    case fmOpenRead: flags |= O_RDONLY; break;
    case fmOpenWrite: flags |= O_WRONLY; break;
    case fmOpenReadWrite: flags |= O_RDWR; break;
    }
    // A file stream is for files: a FIFO or a device would hold the
    // transfer for ever, or never end; neither is waited for on opening.
    FHandle = ::open(fileName.c_str(), flags | O_NONBLOCK, 0666);
    struct stat info {};
    if (FHandle >= 0 && (::fstat(FHandle, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(FHandle);
        FHandle = -1;
    }
    if (FHandle < 0)
        throw EFileStreamError((mode == fmCreate ? "Cannot create file " : "Cannot open file ") + fileName);
}

TFileStream::~TFileStream()
{
    if (FHandle >= 0)
        ::close(FHandle);
}

int64_t TFileStream::Read(void *buffer, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        const ssize_t n = ::pread(FHandle, static_cast<char *>(buffer) + done, size_t(count - done), FPosition);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        done += n;
        FPosition += n;
    }
    return done;
}

int64_t TFileStream::Write(const void *buffer, int64_t count)
{
    int64_t done = 0;
    while (done < count) {
        const ssize_t n =
            ::pwrite(FHandle, static_cast<const char *>(buffer) + done, size_t(count - done), FPosition);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw EFileStreamError("Cannot write to \"" + FFileName + "\". " + std::strerror(errno) + ".");
        done += n;
        FPosition += n;
    }
    return done;
}

int64_t TFileStream::Size() const
{
    struct stat info {};
    return ::fstat(FHandle, &info) == 0 ? int64_t(info.st_size) : 0;
}

void TFileStream::SetSize(int64_t size)
{
    if (::ftruncate(FHandle, size) != 0)
        throw EFileStreamError("Cannot set the size of \"" + FFileName + "\". " + std::strerror(errno) + ".");
    FPosition = std::min(FPosition, size);
}
