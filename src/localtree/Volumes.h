// The volumes "Computer" lists: "/" as "File System", then the mounts a
// user cares about, read from the kernel's mount table: those under
// /media, /run/media and /mnt, and other mounts of block devices. Kernel
// file systems (proc, sysfs, cgroup, devpts, overlay and the like) never
// show. The sources are paths, so tests can offer a table of their own.
#pragma once

#include <QString>

#include <string>
#include <vector>

struct TVolume {
    std::string MountPoint;
    std::string Source;      // the device, as the table names it
    std::string DeviceId;    // "major:minor"
    std::string FileSystem;  // the file system type
    QString Label;           // "" when the volume has none
    bool Removable = false;

    // "File System" for "/", else the label, else the folder's name.
    QString DisplayName() const;
};

struct TVolumeSources {
    std::string MountInfo = "/proc/self/mountinfo";
    std::string ByLabel = "/dev/disk/by-label";
    std::string SysDevBlock = "/sys/dev/block";
};

// The sources in force; tests may change them.
TVolumeSources &VolumeSources();

// The mounts of a mount table's text that are listed, in order: "/"
// first, then the others as the table gives them, each mount point once
// (a later mount over the same point hides the earlier). Labels and the
// removable flag are not filled in.
[[nodiscard]] std::vector<TVolume> ParseMountInfo(const std::string &text);

// The volumes now, with labels and the removable flag; mount points that
// are not folders are left out.
std::vector<TVolume> ReadVolumes();
