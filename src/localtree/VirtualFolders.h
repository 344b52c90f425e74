// The two folders that are no folder on disk: the desktop, root of the
// namespace, and "Computer", which holds the volumes.
#pragma once

#include "FileSystemFolder.h"
#include "Volumes.h"

// The desktop. Its path is the desktop folder, or the home folder when
// there is no desktop folder. It holds the home folder, "Computer", then
// the desktop folder's own items.
class TDesktopFolder : public TFileSystemFolder {
public:
    TDesktopFolder();

    TPidl ParseDisplayName(const std::string &path) override;
    std::unique_ptr<TEnumIDList> EnumObjects(unsigned flags) override;
    std::vector<size_t> SortOrder(const std::vector<PCItemIDList> &items) override;
    QString OwnName() const override { return QStringLiteral("Desktop"); }

protected:
    std::shared_ptr<TShellFolder> BindToItem(PCItemIDList item, std::string &error) override;
    uint32_t ItemAttributes(PCItemIDList item, uint32_t mask) override;
    uint32_t OwnAttributes(uint32_t mask) override;
    QString ItemName(PCItemIDList item) override;
    int CompareItems(PCItemIDList a, PCItemIDList b) override;
    std::string ItemPath(PCItemIDList item) override;

private:
    TDesktopFolder(std::string home, std::string desktop);
    std::string FHome;
    // The desktop folder when it exists apart from the home folder.
    bool FListsFiles;
};

class TComputerFolder : public TShellFolder {
public:
    TComputerFolder();

    TPidl ParseDisplayName(const std::string &path) override;
    std::unique_ptr<TEnumIDList> EnumObjects(unsigned flags) override;
    std::string Path() const override { return {}; }
    QString OwnName() const override { return QStringLiteral("Computer"); }

protected:
    std::shared_ptr<TShellFolder> BindToItem(PCItemIDList item, std::string &error) override;
    uint32_t ItemAttributes(PCItemIDList item, uint32_t mask) override;
    uint32_t OwnAttributes(uint32_t mask) override;
    QString ItemName(PCItemIDList item) override;
    int CompareItems(PCItemIDList a, PCItemIDList b) override;
    std::string ItemPath(PCItemIDList item) override;

private:
    const TVolume *VolumeOf(PCItemIDList item) const;
    std::vector<TVolume> FVolumes;
};
