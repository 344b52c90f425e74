#include "VirtualFolders.h"

#include "NameBytes.h"
#include "IdLocalPath.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <sys/stat.h>

namespace {

// Hands out prepared items, then those of a second enumeration.
class TListEnum : public TEnumIDList {
public:
    TListEnum(std::vector<TPidl> items, std::unique_ptr<TEnumIDList> then)
        : FItems(std::move(items)), FThen(std::move(then))
    {
    }
    TPidl Next() override
    {
        if (FNext < FItems.size())
            return std::move(FItems[FNext++]);
        return FThen ? FThen->Next() : nullptr;
    }

private:
    std::vector<TPidl> FItems;
    size_t FNext = 0;
    std::unique_ptr<TEnumIDList> FThen;
};

std::string EncodedPath(const QString &path)
{
    return QFile::encodeName(QDir::cleanPath(path)).toStdString();
}

// Nothing when the tail names nothing.
TPidl Prepend(const TPidl &head, const TPidl &tail)
{
    return tail ? ConcatPidls(head.get(), tail.get()) : nullptr;
}

uint32_t FolderAttributes(const std::string &path, uint32_t mask)
{
    uint32_t attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
    if ((mask & SFGAO_HASSUBFOLDER) && TFileSystemFolder::HasSubfolder(path))
        attributes |= SFGAO_HASSUBFOLDER;
    return attributes;
}

}  // namespace

// ---- the desktop ----------------------------------------------------------------------

TDesktopFolder::TDesktopFolder()
    : TDesktopFolder(EncodedPath(QDir::homePath()),
                     EncodedPath(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation)))
{
}

TDesktopFolder::TDesktopFolder(std::string home, std::string desktop)
    : TFileSystemFolder(desktop != home && LocalPath::IsFolder(desktop) ? desktop : home),
      FHome(std::move(home)),
      FListsFiles(Path() != FHome)
{
}

TPidl TDesktopFolder::ParseDisplayName(const std::string &path)
{
    if (path.empty())
        return nullptr;
    if (path[0] != '/')
        return FListsFiles ? TFileSystemFolder::ParseDisplayName(path) : nullptr;
    const std::string normal = NormalPath(path);
    std::string rest;
    if (FListsFiles && IsUnder(normal, Path(), rest))
        return ParseRelative(Path(), rest);
    if (IsUnder(normal, FHome, rest))
        return Prepend(ShellItem::Make(ShellItem::ikHome, {}), ParseRelative(FHome, rest));
    TComputerFolder computer;
    return Prepend(ShellItem::Make(ShellItem::ikComputer, {}), computer.ParseDisplayName(normal));
}

std::unique_ptr<TEnumIDList> TDesktopFolder::EnumObjects(unsigned flags)
{
    std::vector<TPidl> items;
    if (flags & SHCONTF_FOLDERS) {
        items.push_back(ShellItem::Make(ShellItem::ikHome, {}));
        items.push_back(ShellItem::Make(ShellItem::ikComputer, {}));
    }
    std::unique_ptr<TEnumIDList> files;
    if (FListsFiles)
        files = TFileSystemFolder::EnumObjects(flags);
    return std::make_unique<TListEnum>(std::move(items), std::move(files));
}

std::vector<size_t> TDesktopFolder::SortOrder(const std::vector<PCItemIDList> &items)
{
    return TShellFolder::SortOrder(items);
}

std::shared_ptr<TShellFolder> TDesktopFolder::BindToItem(PCItemIDList item, std::string &error)
{
    switch (ShellItem::Kind(item)) {
    case ShellItem::ikHome:
        return std::make_shared<TFileSystemFolder>(FHome);
    case ShellItem::ikComputer:
        return std::make_shared<TComputerFolder>();
    default:
        return TFileSystemFolder::BindToItem(item, error);
    }
}

uint32_t TDesktopFolder::ItemAttributes(PCItemIDList item, uint32_t mask)
{
    switch (ShellItem::Kind(item)) {
    case ShellItem::ikHome:
        return FolderAttributes(FHome, mask) & mask;
    case ShellItem::ikComputer:
        return (SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER) & mask;
    default:
        return TFileSystemFolder::ItemAttributes(item, mask);
    }
}

uint32_t TDesktopFolder::OwnAttributes(uint32_t mask)
{
    // The home folder and "Computer" are always inside.
    return (SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET | SFGAO_HASSUBFOLDER) & mask;
}

QString TDesktopFolder::ItemName(PCItemIDList item)
{
    switch (ShellItem::Kind(item)) {
    case ShellItem::ikHome:
        return QStringLiteral("Home");
    case ShellItem::ikComputer:
        return QStringLiteral("Computer");
    default:
        return TFileSystemFolder::ItemName(item);
    }
}

int TDesktopFolder::CompareItems(PCItemIDList a, PCItemIDList b)
{
    const auto rank = [](PCItemIDList item) {
        switch (ShellItem::Kind(item)) {
        case ShellItem::ikHome:
            return 0;
        case ShellItem::ikComputer:
            return 1;
        default:
            return 2;
        }
    };
    if (const int order = rank(a) - rank(b))
        return order < 0 ? -1 : 1;
    return rank(a) == 2 ? CompareFiles(a, b) : 0;
}

std::string TDesktopFolder::ItemPath(PCItemIDList item)
{
    switch (ShellItem::Kind(item)) {
    case ShellItem::ikHome:
        return FHome;
    case ShellItem::ikComputer:
        return {};
    default:
        return TFileSystemFolder::ItemPath(item);
    }
}

// ---- the computer -----------------------------------------------------------------

TComputerFolder::TComputerFolder() : FVolumes(ReadVolumes()) {}

const TVolume *TComputerFolder::VolumeOf(PCItemIDList item) const
{
    const std::string mountPoint = ShellItem::Payload(item);
    for (const TVolume &volume : FVolumes)
        if (volume.MountPoint == mountPoint)
            return &volume;
    return nullptr;
}

TPidl TComputerFolder::ParseDisplayName(const std::string &path)
{
    const std::string normal = TFileSystemFolder::NormalPath(path);
    const TVolume *best = nullptr;
    std::string rest, bestRest;
    for (const TVolume &volume : FVolumes)
        if (TFileSystemFolder::IsUnder(normal, volume.MountPoint, rest) &&
            (!best || volume.MountPoint.size() > best->MountPoint.size())) {
            best = &volume;
            bestRest = rest;
        }
    if (!best)
        return nullptr;
    return Prepend(ShellItem::Make(ShellItem::ikVolume, best->MountPoint),
                   TFileSystemFolder::ParseRelative(best->MountPoint, bestRest));
}

std::unique_ptr<TEnumIDList> TComputerFolder::EnumObjects(unsigned flags)
{
    std::vector<TPidl> items;
    if (flags & SHCONTF_FOLDERS)
        for (const TVolume &volume : FVolumes)
            items.push_back(ShellItem::Make(ShellItem::ikVolume, volume.MountPoint));
    return std::make_unique<TListEnum>(std::move(items), nullptr);
}

std::shared_ptr<TShellFolder> TComputerFolder::BindToItem(PCItemIDList item, std::string &error)
{
    if (ShellItem::Kind(item) != ShellItem::ikVolume) {
        error = "This item is not a volume.";
        return nullptr;
    }
    return std::make_shared<TFileSystemFolder>(ShellItem::Payload(item));
}

uint32_t TComputerFolder::ItemAttributes(PCItemIDList item, uint32_t mask)
{
    if (ShellItem::Kind(item) != ShellItem::ikVolume)
        return 0;
    uint32_t attributes = FolderAttributes(ShellItem::Payload(item), mask);
    const TVolume *volume = VolumeOf(item);
    if (volume && volume->Removable)
        attributes |= SFGAO_REMOVABLE;
    return attributes & mask;
}

uint32_t TComputerFolder::OwnAttributes(uint32_t mask)
{
    return (SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_HASSUBFOLDER) & mask;
}

QString TComputerFolder::ItemName(PCItemIDList item)
{
    if (const TVolume *volume = VolumeOf(item))
        return volume->DisplayName();
    TVolume gone;
    gone.MountPoint = ShellItem::Payload(item);
    return gone.DisplayName();
}

int TComputerFolder::CompareItems(PCItemIDList a, PCItemIDList b)
{
    const std::string pointA = ShellItem::Payload(a), pointB = ShellItem::Payload(b);
    if ((pointA == "/") != (pointB == "/"))
        return pointA == "/" ? -1 : 1;
    if (const int natural = NaturalCollator().compare(ItemName(a), ItemName(b)))
        return natural < 0 ? -1 : 1;
    const int bytes = pointA.compare(pointB);
    return (bytes > 0) - (bytes < 0);
}

std::string TComputerFolder::ItemPath(PCItemIDList item)
{
    return ShellItem::Kind(item) == ShellItem::ikVolume ? ShellItem::Payload(item) : std::string();
}
