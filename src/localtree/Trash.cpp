#include "Trash.h"

#include "NameBytes.h"
#include "ShellNamespace.h"
#include "IdLocalPath.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

[[noreturn]] void Fail(const std::string &path, const std::string &cause)
{
    throw EShellError("Could not move \"" + TextFromBytes(path).toStdString() + "\" to the trash: " + cause + ".");
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

std::string HomeFolder()
{
    if (const char *home = std::getenv("HOME"); home && *home)
        return home;
    const passwd *user = ::getpwuid(::getuid());
    return user && user->pw_dir ? user->pw_dir : "/";
}

std::string HomeTrash()
{
    const char *dataHome = std::getenv("XDG_DATA_HOME");
    // A relative value is to be ignored.
    const std::string base = dataHome && dataHome[0] == '/' ? std::string(dataHome) : HomeFolder() + "/.local/share";
    return base + "/Trash";
}

// The device of a path that may not exist yet: of its nearest ancestor that does.
dev_t DeviceOf(std::string path)
{
    struct stat info {};
    while (::stat(path.empty() ? "." : path.c_str(), &info) != 0 && !path.empty() && path != "/")
        path = LocalPath::FolderPart(path);
    return info.st_dev;
}

// Makes the folder and the ones above it, each new one for the user alone;
// true when it is a folder (not a link to one) now.
bool MakeFolders(const std::string &path)
{
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0)
        return S_ISDIR(info.st_mode);
    const std::string parent = LocalPath::FolderPart(path);
    if (!parent.empty() && path != "/" && !MakeFolders(parent))
        return false;
    return ::mkdir(path.c_str(), 0700) == 0 || errno == EEXIST;
}

// A volume trash is ours only when it is a real folder of our own.
bool OwnTrashFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

bool WithSubfolders(const std::string &trash)
{
    return MakeFolders(trash + "/files") && MakeFolders(trash + "/info");
}

std::string DeletionDate()
{
    const std::time_t now = std::time(nullptr);
    std::tm local {};
    ::localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

}  // namespace

std::string TrashInfoPath(const std::string &path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string escaped;
    for (const char ch : path) {
        const auto byte = static_cast<unsigned char>(ch);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
                           std::strchr("/-_.~", ch) != nullptr;
        if (plain && byte != 0) {
            escaped += ch;
        } else {
            escaped += '%';
            escaped += hex[byte >> 4];
            escaped += hex[byte & 15];
        }
    }
    return escaped;
}

TTrashPlace TrashPlaceFor(const std::string &path)
{
    struct stat item {};
    if (::lstat(path.c_str(), &item) != 0)
        Fail(path, ErrorText(errno));
    const std::string home = HomeTrash();
    if (DeviceOf(home) == item.st_dev) {
        if (!WithSubfolders(home))
            Fail(path, "the trash folder " + home + " cannot be made");
        return {home, {}};
    }
    // The top of the item's volume: the last folder up on its device.
    std::string top = LocalPath::FolderPart(path);
    for (;;) {
        struct stat above {};
        const std::string up = LocalPath::FolderPart(top);
        if (top == "/" || ::stat(up.c_str(), &above) != 0 || above.st_dev != item.st_dev)
            break;
        top = up;
    }
    const std::string uid = std::to_string(::getuid());
    struct stat shared {};
    const std::string sharedTrash = LocalPath::Join(top, ".Trash");
    if (::lstat(sharedTrash.c_str(), &shared) == 0 && S_ISDIR(shared.st_mode) && (shared.st_mode & S_ISVTX)) {
        const std::string mine = sharedTrash + "/" + uid;
        if (OwnTrashFolder(mine) && WithSubfolders(mine))
            return {mine, top};
    }
    const std::string mine = LocalPath::Join(top, ".Trash-" + uid);
    if (OwnTrashFolder(mine) && WithSubfolders(mine))
        return {mine, top};
    Fail(path, "its volume has no trash folder that can be used");
}

std::string MoveToTrash(const std::string &given)
{
    std::string path = given;
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    // The item itself keeps its name; the folder it is in is made absolute.
    const std::string parent = LocalPath::FolderPart(path);
    char *folder = ::realpath(parent.empty() ? "." : parent.c_str(), nullptr);
    if (!folder)
        Fail(given, ErrorText(errno));
    const std::string name = LocalPath::NamePart(path);
    path = LocalPath::Join(folder, name);
    std::free(folder);

    const TTrashPlace place = TrashPlaceFor(path);
    // Where it came from: a volume trash names it from the volume's top.
    std::string origin = path;
    if (!place.TopDir.empty())
        origin = place.TopDir == "/" ? path.substr(1) : path.substr(place.TopDir.size() + 1);
    const std::string info = "[Trash Info]\nPath=" + TrashInfoPath(origin) + "\nDeletionDate=" + DeletionDate() + "\n";

    for (int number = 1; number < 100000; ++number) {
        const std::string candidate = number == 1 ? name : name + "." + std::to_string(number);
        const std::string infoPath = place.Folder + "/info/" + candidate + ".trashinfo";
        // The info file taken first reserves the name, even against another
        // program trashing at the same moment.
        const int handle = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (handle < 0) {
            if (errno == EEXIST)
                continue;
            Fail(path, ErrorText(errno));
        }
        const bool written = ::write(handle, info.data(), info.size()) == ssize_t(info.size());
        const bool closed = ::close(handle) == 0;
        const std::string target = place.Folder + "/files/" + candidate;
        struct stat taken {};
        if (written && closed && ::lstat(target.c_str(), &taken) != 0) {
            if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
                return candidate;
            const int error = errno;
            ::unlink(infoPath.c_str());
            if (error != EEXIST)
                Fail(path, ErrorText(error));
            continue;
        }
        ::unlink(infoPath.c_str());
        if (!written || !closed)
            Fail(path, "its trash information could not be written");
    }
    Fail(path, "the trash holds too many items of that name");
}
