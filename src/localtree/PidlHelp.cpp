#include "PidlHelp.h"

#include "ShellNamespace.h"
#include "SystemImageList.h"
#include "Volumes.h"

#include <QFile>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

std::atomic<long> LivePidls{0};

uint16_t CountAt(PCItemIDList item)
{
    uint16_t count;
    std::memcpy(&count, item, sizeof count);
    return count;
}

// The terminator of a list.
PCItemIDList EndOf(PCItemIDList pidl)
{
    while (CountAt(pidl) != 0)
        pidl += CountAt(pidl);
    return pidl;
}

}  // namespace

size_t GetPidlSize(PCItemIDList pidl)
{
    if (!pidl)
        return 0;
    return size_t(EndOf(pidl) - pidl) + 2;
}

TPidl CreatePidl(size_t size)
{
    auto *pidl = static_cast<PItemIDList>(std::calloc(size ? size : 1, 1));
    if (!pidl)
        throw std::bad_alloc();
    ++LivePidls;
    return TPidl(pidl);
}

void FreePidl(PItemIDList &pidl)
{
    if (!pidl)
        return;
    std::free(pidl);
    --LivePidls;
    pidl = nullptr;
}

TPidl CopyPidl(PCItemIDList pidl)
{
    if (!pidl)
        return nullptr;
    const size_t size = GetPidlSize(pidl);
    TPidl copy = CreatePidl(size);
    std::memcpy(copy.get(), pidl, size);
    return copy;
}

TPidl CopyFirstPidl(PCItemIDList pidl)
{
    if (!pidl)
        return nullptr;
    const uint16_t first = CountAt(pidl);
    TPidl copy = CreatePidl(size_t(first) + 2);
    std::memcpy(copy.get(), pidl, first);
    return copy;
}

PCItemIDList NextPidl(PCItemIDList pidl)
{
    if (!pidl || CountAt(pidl) == 0)
        return nullptr;
    return pidl + CountAt(pidl);
}

TPidl ConcatPidls(PCItemIDList first, PCItemIDList second)
{
    const size_t head = first ? GetPidlSize(first) - 2 : 0;
    const size_t tail = second ? GetPidlSize(second) : 2;
    TPidl joined = CreatePidl(head + tail);
    if (head)
        std::memcpy(joined.get(), first, head);
    if (second)
        std::memcpy(joined.get() + head, second, tail);
    return joined;
}

bool IsEmptyPidl(PCItemIDList pidl)
{
    return !pidl || CountAt(pidl) == 0;
}

int PidlItemCount(PCItemIDList pidl)
{
    int count = 0;
    for (PCItemIDList item = pidl; !IsEmptyPidl(item); item = NextPidl(item))
        ++count;
    return count;
}

TPidl CopyParentPidl(PCItemIDList pidl)
{
    PCItemIDList last = pidl;
    for (PCItemIDList item = pidl; !IsEmptyPidl(item); item = NextPidl(item))
        last = item;
    const size_t head = IsEmptyPidl(pidl) ? 0 : size_t(last - pidl);
    TPidl parent = CreatePidl(head + 2);
    if (head)
        std::memcpy(parent.get(), pidl, head);
    return parent;
}

TPidl CopyLastPidl(PCItemIDList pidl)
{
    PCItemIDList last = nullptr;
    for (PCItemIDList item = pidl; !IsEmptyPidl(item); item = NextPidl(item))
        last = item;
    return last ? CopyFirstPidl(last) : CreatePidl(2);
}

bool PidlsEqual(PCItemIDList a, PCItemIDList b)
{
    const size_t size = GetPidlSize(a);
    return size == GetPidlSize(b) && (size == 0 || std::memcmp(a, b, size) == 0);
}

bool PidlStartsWith(PCItemIDList pidl, PCItemIDList prefix, PCItemIDList *rest)
{
    PCItemIDList item = pidl;
    for (PCItemIDList step = prefix; !IsEmptyPidl(step); step = NextPidl(step)) {
        if (IsEmptyPidl(item) || CountAt(item) != CountAt(step) || std::memcmp(item, step, CountAt(step)) != 0)
            return false;
        item = NextPidl(item);
    }
    if (rest)
        *rest = item;
    return true;
}

long LivePidlCount()
{
    return LivePidls;
}

TPidlIcons GetPidlIcons(PCItemIDList absoluteId)
{
    if (!absoluteId)
        return {};
    PCItemIDList last = nullptr;
    for (PCItemIDList item = absoluteId; !IsEmptyPidl(item); item = NextPidl(item))
        last = item;
    const auto theme = [](const char *name, const char *fallback) {
        const int index = SystemThemeIconIndex(QString::fromLatin1(name), QString::fromLatin1(fallback));
        return TPidlIcons{index, index};
    };
    if (!last)
        return theme("user-desktop", "folder");
    switch (ShellItem::Kind(last)) {
    case ShellItem::ikHome:
        return theme("user-home", "folder");
    case ShellItem::ikComputer:
        return theme("computer", "drive-harddisk");
    case ShellItem::ikVolume: {
        const std::string mountPoint = ShellItem::Payload(last);
        for (const TVolume &volume : ReadVolumes())
            if (volume.MountPoint == mountPoint && volume.Removable)
                return theme("drive-removable-media", "drive-harddisk");
        return theme("drive-harddisk", "folder");
    }
    default:
        break;
    }
    const std::string path = SHGetPathFromIDList(absoluteId);
    if (path.empty())
        return {};
    TdfsSystemImageList icons(isSmall);
    const QString name = QFile::decodeName(QByteArray::fromStdString(path));
    if (ShellItem::IsFolder(last))
        return {icons.GetImageIndex(name, false, false, faDirectory), icons.GetImageIndex(name, false, true, faDirectory)};
    const int index = icons.GetImageIndex(name, false, false, 0);
    return {index, icons.GetImageIndex(name, false, true, 0)};
}
