// A folder of the file system as a namespace folder: its children are the
// entries the kernel lists, named by their exact bytes.
#pragma once

#include "ShellNamespace.h"

class TFileSystemFolder : public TShellFolder {
public:
    explicit TFileSystemFolder(std::string path);

    TPidl ParseDisplayName(const std::string &path) override;
    std::unique_ptr<TEnumIDList> EnumObjects(unsigned flags) override;
    std::vector<size_t> SortOrder(const std::vector<PCItemIDList> &items) override;
    std::string Path() const override { return FPath; }
    QString OwnName() const override;

    // Whether the folder at `path` holds a folder, hidden ones included;
    // reads only until it finds one.
    static bool HasSubfolder(const std::string &path);
    // The items for `relative` ("a/b") under `folder`, each checked on
    // disk; nullptr when a step does not exist. "." steps are skipped,
    // ".." steps go up, but never above `folder`.
    static TPidl ParseRelative(const std::string &folder, const std::string &relative);
    // A path made absolute in form: repeated and trailing "/" dropped, "."
    // and ".." resolved by name. "" when it is not absolute.
    static std::string NormalPath(const std::string &path);
    // True when `path` is `folder` or lies under it; `rest` then holds
    // the part after it ("" for the folder itself).
    static bool IsUnder(const std::string &path, const std::string &folder, std::string &rest);

protected:
    std::shared_ptr<TShellFolder> BindToItem(PCItemIDList item, std::string &error) override;
    uint32_t ItemAttributes(PCItemIDList item, uint32_t mask) override;
    uint32_t OwnAttributes(uint32_t mask) override;
    QString ItemName(PCItemIDList item) override;
    int CompareItems(PCItemIDList a, PCItemIDList b) override;
    std::string ItemPath(PCItemIDList item) override;
    TPidl RenameItem(PCItemIDList item, const std::string &newName) override;
    void Validate() override { FWritableKnown = false; }

    // What this folder grants its children: rename, delete, move, copy
    // when it is writable.
    uint32_t ChildRights();
    // Sort group of a file-system item: folders before files.
    static int FileGroup(PCItemIDList item) { return ShellItem::IsFolder(item) ? 0 : 1; }
    // Compares file-system items: group, then natural order, then bytes.
    static int CompareFiles(PCItemIDList a, PCItemIDList b);

private:
    std::string FPath;
    bool FWritableKnown = false;
    bool FWritable = false;
};
