#include "FileTimes.h"

#include "IdGlobal.h"
#include "NameBytes.h"
#include "RemoteName.h"
#include "RemoteSession.h"

#include <fcntl.h>
#include <sys/stat.h>

int64_t LocalFileSeconds(const std::string &path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? int64_t(info.st_mtim.tv_sec) : -1;
}

bool SetLocalFileSeconds(const std::string &path, int64_t seconds)
{
    // The access time is left as it is.
    const timespec times[2] = {{0, UTIME_OMIT}, {time_t(seconds), 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

void TFileTimes::Downloaded(TRemoteSession &remote, const std::string &remoteName, const std::string &known,
                            const std::string &local)
{
    const std::string time = known.empty() ? remote.ModificationTime(remoteName) : known;
    const int64_t seconds = SecondsOfTimeText(time);
    // A server that tells no time leaves the file with the time it came.
    if (seconds >= 0 && !SetLocalFileSeconds(local, seconds) && OnLog)
        OnLog(QStringLiteral("The server's time could not be given to %1.").arg(TextFromBytes(local)));
}

void TFileTimes::Uploaded(TRemoteSession &remote, const std::string &local, const std::string &remoteName)
{
    const int64_t seconds = LocalFileSeconds(local);
    if (seconds < 0 || FToldNoWay || remote.SetModificationTime(remoteName, TimeTextOfSeconds(seconds)))
        return;
    FToldNoWay = true;
    if (OnLog)
        OnLog(QStringLiteral("The server did not take the time of %1: uploaded files keep the time of their upload.")
                  .arg(RemoteDisplayName(remoteName)));
}
