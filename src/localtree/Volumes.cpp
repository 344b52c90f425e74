#include "Volumes.h"

#include "NameBytes.h"
#include "IdLocalPath.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

namespace {

// File systems of the kernel's own, never a user's volume.
const std::set<std::string> KernelFileSystems = {
    "proc",       "sysfs",     "cgroup",   "cgroup2",     "devpts",     "devtmpfs",  "mqueue",
    "debugfs",    "tracefs",   "securityfs", "pstore",    "bpf",        "configfs",  "fusectl",
    "hugetlbfs",  "autofs",    "binfmt_misc", "efivarfs", "overlay",    "nsfs",      "ramfs",
    "rpc_pipefs", "squashfs",  "selinuxfs", "fuse.gvfsd-fuse", "fuse.portal", "tmpfs", "nfsd",
};

// The table writes blanks, tabs, newlines and backslashes as \ooo.
std::string Unescape(const std::string &field)
{
    std::string text;
    for (size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            const std::string digits = field.substr(i + 1, 3);
            if (digits.size() == 3 && digits.find_first_not_of("01234567") == std::string::npos) {
                text += char(std::strtol(digits.c_str(), nullptr, 8));
                i += 3;
                continue;
            }
        }
        text += field[i];
    }
    return text;
}

bool StartsWithFolder(const std::string &path, const std::string &folder)
{
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 && path[folder.size()] == '/';
}

bool UserMountArea(const std::string &mountPoint)
{
    return StartsWithFolder(mountPoint, "/media") || StartsWithFolder(mountPoint, "/run/media") ||
           StartsWithFolder(mountPoint, "/mnt");
}

bool SystemArea(const std::string &mountPoint)
{
    for (const char *area : {"/proc", "/sys", "/dev", "/run", "/snap", "/var/lib/docker"})
        if (mountPoint == area || StartsWithFolder(mountPoint, area))
            return true;
    return false;
}

std::string RealPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// udev writes unsafe characters of a label as \xNN.
QString UnescapeLabel(const std::string &name)
{
    std::string bytes;
    for (size_t i = 0; i < name.size(); ++i) {
        if (name[i] == '\\' && i + 3 < name.size() && name[i + 1] == 'x') {
            bytes += char(std::strtol(name.substr(i + 2, 2).c_str(), nullptr, 16));
            i += 3;
            continue;
        }
        bytes += name[i];
    }
    return TextFromBytes(bytes);
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool RemovableDevice(const std::string &deviceId)
{
    const std::string device = RealPath(VolumeSources().SysDevBlock + '/' + deviceId);
    // A partition takes the flag of the disk it is on.
    const bool partition = ::access((device + "/partition").c_str(), F_OK) == 0;
    const std::string disk = partition ? device.substr(0, device.find_last_of('/')) : device;
    return ReadFile(disk + "/removable").starts_with('1');
}

}  // namespace

QString TVolume::DisplayName() const
{
    if (MountPoint == "/")
        return QStringLiteral("File System");
    if (!Label.isEmpty())
        return Label;
    return TextFromBytes(LocalPath::NamePart(MountPoint));
}

TVolumeSources &VolumeSources()
{
    static TVolumeSources sources;
    return sources;
}

std::vector<TVolume> ParseMountInfo(const std::string &text)
{
    std::vector<TVolume> volumes;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::vector<std::string> fields;
        for (std::string word; words >> word;)
            fields.push_back(word);
        // id parent major:minor root mount-point options [optional...] - type source super-options
        size_t dash = 6;
        while (dash < fields.size() && fields[dash] != "-")
            ++dash;
        if (fields.size() < 5 || dash + 2 >= fields.size())
            continue;
        TVolume volume;
        volume.DeviceId = fields[2];
        volume.MountPoint = Unescape(fields[4]);
        volume.FileSystem = fields[dash + 1];
        volume.Source = Unescape(fields[dash + 2]);
        const bool wholeTree = fields[3] == "/";
        if (volume.MountPoint != "/" && KernelFileSystems.count(volume.FileSystem))
            continue;
        const bool listed = volume.MountPoint == "/" || UserMountArea(volume.MountPoint) ||
                            (wholeTree && volume.Source.starts_with("/dev/") && !SystemArea(volume.MountPoint));
        if (!listed)
            continue;
        std::erase_if(volumes, [&](const TVolume &old) { return old.MountPoint == volume.MountPoint; });
        volumes.push_back(std::move(volume));
    }
    std::stable_partition(volumes.begin(), volumes.end(), [](const TVolume &v) { return v.MountPoint == "/"; });
    return volumes;
}

std::vector<TVolume> ReadVolumes()
{
    std::vector<TVolume> volumes = ParseMountInfo(ReadFile(VolumeSources().MountInfo));
    // "/" is always there, even when the table cannot be read.
    if (volumes.empty() || volumes.front().MountPoint != "/")
        volumes.insert(volumes.begin(), TVolume{"/", {}, {}, {}, {}, false});
    std::erase_if(volumes, [](const TVolume &volume) {
        struct stat info;
        return ::stat(volume.MountPoint.c_str(), &info) != 0 || !S_ISDIR(info.st_mode);
    });

    // Labels: the by-label folder holds one link per label to its device.
    std::vector<std::pair<std::string, QString>> labels;
    if (DIR *folder = ::opendir(VolumeSources().ByLabel.c_str())) {
        while (const dirent *entry = ::readdir(folder)) {
            if (entry->d_name[0] == '.')
                continue;
            char target[PATH_MAX];
            const std::string link = VolumeSources().ByLabel + '/' + entry->d_name;
            const ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
            if (length > 0)
                labels.emplace_back(LocalPath::NamePart(std::string(target, size_t(length))), UnescapeLabel(entry->d_name));
        }
        ::closedir(folder);
    }
    for (TVolume &volume : volumes) {
        if (volume.Source.starts_with("/dev/")) {
            const std::string device = LocalPath::NamePart(RealPath(volume.Source));
            for (const auto &[labelled, label] : labels)
                if (labelled == device)
                    volume.Label = label;
        }
        if (!volume.DeviceId.empty())
            volume.Removable = RemovableDevice(volume.DeviceId);
    }
    return volumes;
}
