// The namespace the local tree shows, built over the file system: the
// desktop at the top, holding the home folder, "Computer" (the file system
// and the mounted volumes) and the desktop folder's own items. Each folder
// object answers the operations the tree needs: parse a path, enumerate,
// bind to a child, attributes, display name, compare, rename and the
// item's menu. Item identifiers are those of PidlHelp; what an item holds
// is private to this layer:
//   file-system item: 'F', a type byte, then the name's exact bytes;
//   the home folder 'H' and "Computer" 'C': the tag alone;
//   a volume: 'V', then its mount point.
//
// Names are bytes from end to end: a path is a std::string of the bytes
// the kernel takes, and only display names are text.
#pragma once

#include "PidlHelp.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

class QCollator;
class TItemContextMenu;

// Enumeration flags.
enum : unsigned {
    SHCONTF_FOLDERS = 0x20,
    SHCONTF_NONFOLDERS = 0x40,
    SHCONTF_INCLUDEHIDDEN = 0x80,
};

// Attribute bits.
enum : uint32_t {
    SFGAO_CANCOPY = 0x1,
    SFGAO_CANMOVE = 0x2,
    SFGAO_CANLINK = 0x4,
    SFGAO_CANRENAME = 0x10,
    SFGAO_CANDELETE = 0x20,
    SFGAO_HASPROPSHEET = 0x40,
    SFGAO_DROPTARGET = 0x100,
    SFGAO_LINK = 0x10000,
    SFGAO_SHARE = 0x20000,
    SFGAO_GHOSTED = 0x80000,
    SFGAO_REMOVABLE = 0x2000000,
    SFGAO_VALIDATE = 0x1000000,
    SFGAO_FILESYSANCESTOR = 0x10000000,
    SFGAO_FOLDER = 0x20000000,
    SFGAO_FILESYSTEM = 0x40000000,
    SFGAO_HASSUBFOLDER = 0x80000000,
};

// A namespace operation that failed; the text says why, for the user.
class EShellError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Hands out one relative identifier per call; an empty one ends.
class TEnumIDList {
public:
    virtual ~TEnumIDList() = default;
    virtual TPidl Next() = 0;
};

class TShellFolder : public std::enable_shared_from_this<TShellFolder> {
public:
    virtual ~TShellFolder() = default;

    // An identifier relative to this folder for a path (absolute, or
    // relative to this folder); nullptr when it names nothing that exists.
    virtual TPidl ParseDisplayName(const std::string &path) = 0;
    // nullptr when the enumeration cannot start (no permission, gone).
    virtual std::unique_ptr<TEnumIDList> EnumObjects(unsigned flags) = 0;

    // The operations below take identifiers of one or more items.
    // The folder object of a child; nullptr, with `error` set, when the
    // child is no folder.
    std::shared_ptr<TShellFolder> BindToObject(PCItemIDList relative, std::string *error = nullptr);
    // An empty identifier asks about this folder itself; a null one with
    // SFGAO_VALIDATE refreshes what the folder has cached.
    uint32_t GetAttributesOf(PCItemIDList relative, uint32_t mask);
    QString GetDisplayNameOf(PCItemIDList relative);
    // Negative, zero or positive; zero means the same item.
    int CompareIDs(PCItemIDList a, PCItemIDList b);
    // Renames the item; the new relative identifier. Throws EShellError.
    TPidl SetNameOf(PCItemIDList relative, const QString &newName);
    std::unique_ptr<TItemContextMenu> GetUIObjectOf(PCItemIDList relative);
    // The file-system path of a child; "" when it has none.
    std::string PathOf(PCItemIDList relative);

    // The order CompareIDs gives to single-item identifiers of this
    // folder, as a permutation; folders that can, sort by key.
    virtual std::vector<size_t> SortOrder(const std::vector<PCItemIDList> &items);

    // This folder's own path ("" when it has none) and display name.
    virtual std::string Path() const = 0;
    virtual QString OwnName() const = 0;

protected:
    virtual std::shared_ptr<TShellFolder> BindToItem(PCItemIDList item, std::string &error) = 0;
    virtual uint32_t ItemAttributes(PCItemIDList item, uint32_t mask) = 0;
    virtual uint32_t OwnAttributes(uint32_t mask) = 0;
    virtual QString ItemName(PCItemIDList item) = 0;
    virtual int CompareItems(PCItemIDList a, PCItemIDList b) = 0;
    virtual std::string ItemPath(PCItemIDList item) = 0;
    virtual TPidl RenameItem(PCItemIDList item, const std::string &newName);
    virtual void Validate() {}
};

// The desktop folder: the root of the namespace.
std::shared_ptr<TShellFolder> SHGetDesktopFolder();
// The absolute identifier of a special folder (the CSIDL numbers); nullptr
// when it has no counterpart here or does not exist.
TPidl SHGetSpecialFolderLocation(int csidl);
// The file-system path of an absolute identifier; "" when it has none.
std::string SHGetPathFromIDList(PCItemIDList absoluteId);

// Special folder numbers.
enum : int {
    CSIDL_DESKTOP = 0,
    CSIDL_PROGRAMS = 2,
    CSIDL_CONTROLS = 3,
    CSIDL_PRINTERS = 4,
    CSIDL_PERSONAL = 5,
    CSIDL_FAVORITES = 6,
    CSIDL_STARTUP = 7,
    CSIDL_RECENT = 8,
    CSIDL_SENDTO = 9,
    CSIDL_BITBUCKET = 10,
    CSIDL_STARTMENU = 11,
    CSIDL_DESKTOPDIRECTORY = 16,
    CSIDL_DRIVES = 17,
    CSIDL_NETWORK = 18,
    CSIDL_NETHOOD = 19,
    CSIDL_FONTS = 20,
    CSIDL_TEMPLATES = 21,
};

// Items as this layer encodes them.
namespace ShellItem {

enum TKind : uint8_t { ikFile = 'F', ikHome = 'H', ikComputer = 'C', ikVolume = 'V' };
// Type bits of a file-system item.
enum : uint8_t { itFolder = 0x1, itLink = 0x2 };

// One item, as a list of one.
TPidl Make(TKind kind, const std::string &payload);
TPidl MakeFile(const std::string &name, uint8_t type);
TKind Kind(PCItemIDList item);
// The bytes after the kind (for files: after the type byte too).
std::string Payload(PCItemIDList item);
uint8_t FileType(PCItemIDList item);
bool IsFolder(PCItemIDList item);

}  // namespace ShellItem

// The collation of display names: natural ("file2" before "file10") and
// blind to case, in the user's language (English when the locale is "C",
// which has no natural order). User-interface thread only.
QCollator &NaturalCollator();
// Names that begin with "." are the hidden ones.
inline bool IsHiddenName(const std::string &name)
{
    return !name.empty() && name[0] == '.';
}
