#include "FileSystemFolder.h"

#include "NameBytes.h"
#include "IdLocalPath.h"

#include <QCollator>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>
#include <vector>

namespace {

// The type bits of one entry; d_type saves a stat for all but links and
// file systems that do not fill it in.
uint8_t EntryType(int folder, const char *name, unsigned char type)
{
    struct stat info;
    if (type == DT_DIR)
        return ShellItem::itFolder;
    if (type == DT_LNK) {
        // A link to a folder is a folder; a broken link or a loop is not.
        const bool folderTarget = ::fstatat(folder, name, &info, 0) == 0 && S_ISDIR(info.st_mode);
        return ShellItem::itLink | (folderTarget ? ShellItem::itFolder : 0);
    }
    if (type != DT_UNKNOWN)
        return 0;
    if (::fstatat(folder, name, &info, AT_SYMLINK_NOFOLLOW) != 0)
        return 0;
    if (S_ISLNK(info.st_mode))
        return EntryType(folder, name, DT_LNK);
    return S_ISDIR(info.st_mode) ? ShellItem::itFolder : 0;
}

uint8_t PathType(const std::string &path, bool &exists)
{
    struct stat info;
    exists = ::lstat(path.c_str(), &info) == 0;
    if (!exists)
        return 0;
    if (S_ISLNK(info.st_mode))
        return ShellItem::itLink | (::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) ? ShellItem::itFolder : 0);
    return S_ISDIR(info.st_mode) ? ShellItem::itFolder : 0;
}

// Reads the folder's entries from the kernel a batch at a time: a small
// first batch, since one entry is often all that is asked (has it any?),
// then large ones.
class TFileSystemEnum : public TEnumIDList {
public:
    TFileSystemEnum(int folder, unsigned flags) : FFolder(folder), FFlags(flags), FBuffer(FirstBatch) {}
    ~TFileSystemEnum() override { ::close(FFolder); }

    TPidl Next() override
    {
        for (;;) {
            if (FAt >= FFilled) {
                const ssize_t read = ::getdents64(FFolder, FBuffer.data(), FBuffer.size());
                if (read <= 0)
                    return nullptr;
                FFilled = size_t(read);
                FAt = 0;
                FBuffer.resize(LaterBatches);
            }
            const auto *entry = reinterpret_cast<const dirent64 *>(FBuffer.data() + FAt);
            FAt += entry->d_reclen;
            const char *name = entry->d_name;
            if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
                continue;
            if (name[0] == '.' && !(FFlags & SHCONTF_INCLUDEHIDDEN))
                continue;
            const uint8_t type = EntryType(FFolder, name, entry->d_type);
            const bool folder = type & ShellItem::itFolder;
            if ((folder && (FFlags & SHCONTF_FOLDERS)) || (!folder && (FFlags & SHCONTF_NONFOLDERS)))
                return ShellItem::MakeFile(name, type);
        }
    }

private:
    static constexpr size_t FirstBatch = 1024, LaterBatches = 64 * 1024;
    int FFolder;
    unsigned FFlags;
    // Resized only when the batch in it is used up.
    std::vector<char> FBuffer;
    size_t FAt = 0, FFilled = 0;
};

std::vector<std::string> SplitPath(const std::string &path)
{
    std::vector<std::string> steps;
    size_t start = 0;
    while (start <= path.size()) {
        size_t slash = path.find('/', start);
        if (slash == std::string::npos)
            slash = path.size();
        if (slash > start)
            steps.push_back(path.substr(start, slash - start));
        start = slash + 1;
    }
    return steps;
}

}  // namespace

TFileSystemFolder::TFileSystemFolder(std::string path) : FPath(std::move(path)) {}

QString TFileSystemFolder::OwnName() const
{
    return TextFromBytes(FPath == "/" ? FPath : LocalPath::NamePart(FPath));
}

std::string TFileSystemFolder::NormalPath(const std::string &path)
{
    if (path.empty() || path[0] != '/')
        return {};
    std::vector<std::string> kept;
    for (std::string &step : SplitPath(path)) {
        if (step == ".")
            continue;
        if (step == "..") {
            if (!kept.empty())
                kept.pop_back();
            continue;
        }
        kept.push_back(std::move(step));
    }
    std::string normal;
    for (const std::string &step : kept)
        normal += '/' + step;
    return normal.empty() ? "/" : normal;
}

bool TFileSystemFolder::IsUnder(const std::string &path, const std::string &folder, std::string &rest)
{
    if (folder == "/") {
        rest = path.size() > 1 ? path.substr(1) : std::string();
        return !path.empty() && path[0] == '/';
    }
    if (path.compare(0, folder.size(), folder) != 0)
        return false;
    if (path.size() == folder.size()) {
        rest.clear();
        return true;
    }
    if (path[folder.size()] != '/')
        return false;
    rest = path.substr(folder.size() + 1);
    return true;
}

TPidl TFileSystemFolder::ParseRelative(const std::string &folder, const std::string &relative)
{
    std::vector<std::pair<std::string, uint8_t>> items;
    std::string current = folder;
    for (const std::string &step : SplitPath(relative)) {
        if (step == ".")
            continue;
        if (step == "..") {
            if (items.empty())
                return nullptr;
            items.pop_back();
            current = LocalPath::FolderPart(current);
            continue;
        }
        current = LocalPath::Join(current, step);
        bool exists = false;
        const uint8_t type = PathType(current, exists);
        if (!exists)
            return nullptr;
        items.emplace_back(step, type);
    }
    TPidl list = CreatePidl(2);
    for (const auto &[name, type] : items)
        list = ConcatPidls(list.get(), ShellItem::MakeFile(name, type).get());
    return list;
}

TPidl TFileSystemFolder::ParseDisplayName(const std::string &path)
{
    if (path.empty())
        return nullptr;
    if (path[0] != '/')
        return ParseRelative(FPath, path);
    std::string rest;
    if (!IsUnder(NormalPath(path), FPath, rest))
        return nullptr;
    return ParseRelative(FPath, rest);
}

std::unique_ptr<TEnumIDList> TFileSystemFolder::EnumObjects(unsigned flags)
{
    const int folder = ::open(FPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0)
        return nullptr;
    return std::make_unique<TFileSystemEnum>(folder, flags);
}

bool TFileSystemFolder::HasSubfolder(const std::string &path)
{
    DIR *folder = ::opendir(path.c_str());
    if (!folder)
        return false;
    bool found = false;
    while (const dirent *entry = ::readdir(folder)) {
        const char *name = entry->d_name;
        if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0)
            continue;
        if (EntryType(::dirfd(folder), name, entry->d_type) & ShellItem::itFolder) {
            found = true;
            break;
        }
    }
    ::closedir(folder);
    return found;
}

std::shared_ptr<TShellFolder> TFileSystemFolder::BindToItem(PCItemIDList item, std::string &error)
{
    if (ShellItem::Kind(item) != ShellItem::ikFile || !ShellItem::IsFolder(item)) {
        error = QStringLiteral("\"%1\" is not a folder.").arg(ItemName(item)).toStdString();
        return nullptr;
    }
    return std::make_shared<TFileSystemFolder>(ItemPath(item));
}

uint32_t TFileSystemFolder::ChildRights()
{
    if (!FWritableKnown) {
        FWritable = ::access(FPath.c_str(), W_OK) == 0;
        FWritableKnown = true;
    }
    return FWritable ? SFGAO_CANRENAME | SFGAO_CANDELETE | SFGAO_CANMOVE | SFGAO_CANCOPY : 0;
}

uint32_t TFileSystemFolder::ItemAttributes(PCItemIDList item, uint32_t mask)
{
    if (ShellItem::Kind(item) != ShellItem::ikFile)
        return 0;
    const uint8_t type = ShellItem::FileType(item);
    uint32_t attributes = SFGAO_FILESYSTEM | ChildRights();
    if (type & ShellItem::itLink)
        attributes |= SFGAO_LINK;
    if (IsHiddenName(ShellItem::Payload(item)))
        attributes |= SFGAO_GHOSTED;
    if (type & ShellItem::itFolder) {
        attributes |= SFGAO_FOLDER | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
        if ((mask & SFGAO_HASSUBFOLDER) && HasSubfolder(ItemPath(item)))
            attributes |= SFGAO_HASSUBFOLDER;
    }
    return attributes & mask;
}

uint32_t TFileSystemFolder::OwnAttributes(uint32_t mask)
{
    uint32_t attributes = SFGAO_FOLDER | SFGAO_FILESYSTEM | SFGAO_FILESYSANCESTOR | SFGAO_DROPTARGET;
    if ((mask & SFGAO_HASSUBFOLDER) && HasSubfolder(FPath))
        attributes |= SFGAO_HASSUBFOLDER;
    return attributes & mask;
}

QString TFileSystemFolder::ItemName(PCItemIDList item)
{
    return TextFromBytes(ShellItem::Payload(item));
}

int TFileSystemFolder::CompareFiles(PCItemIDList a, PCItemIDList b)
{
    if (const int group = FileGroup(a) - FileGroup(b))
        return group;
    const std::string nameA = ShellItem::Payload(a), nameB = ShellItem::Payload(b);
    if (const int natural = NaturalCollator().compare(TextFromBytes(nameA), TextFromBytes(nameB)))
        return natural < 0 ? -1 : 1;
    // Names that differ only in case are two items here: the bytes decide.
    const int bytes = nameA.compare(nameB);
    return (bytes > 0) - (bytes < 0);
}

int TFileSystemFolder::CompareItems(PCItemIDList a, PCItemIDList b)
{
    return CompareFiles(a, b);
}

std::vector<size_t> TFileSystemFolder::SortOrder(const std::vector<PCItemIDList> &items)
{
    // One collation key per name instead of a collation per comparison:
    // a folder of 100,000 files sorts in tens of milliseconds.
    struct TKey {
        int Group;
        QCollatorSortKey Natural;
        std::string Bytes;
    };
    std::vector<TKey> keys;
    keys.reserve(items.size());
    QCollator &collator = NaturalCollator();
    for (PCItemIDList item : items) {
        std::string name = ShellItem::Payload(item);
        keys.push_back({FileGroup(item), collator.sortKey(TextFromBytes(name)), std::move(name)});
    }
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::sort(order.begin(), order.end(), [&keys](size_t a, size_t b) {
        const TKey &x = keys[a], &y = keys[b];
        if (x.Group != y.Group)
            return x.Group < y.Group;
        if (const int natural = x.Natural.compare(y.Natural))
            return natural < 0;
        return x.Bytes < y.Bytes;
    });
    return order;
}

std::string TFileSystemFolder::ItemPath(PCItemIDList item)
{
    return ShellItem::Kind(item) == ShellItem::ikFile ? LocalPath::Join(FPath, ShellItem::Payload(item)) : std::string();
}

TPidl TFileSystemFolder::RenameItem(PCItemIDList item, const std::string &newName)
{
    if (ShellItem::Kind(item) != ShellItem::ikFile)
        return TShellFolder::RenameItem(item, newName);
    const QString oldText = ItemName(item), newText = TextFromBytes(newName);
    if (newName.empty())
        throw EShellError("A name cannot be empty.");
    if (newName == "." || newName == "..")
        throw EShellError(QStringLiteral("\"%1\" cannot be used as a name.").arg(newText).toStdString());
    if (newName.find('/') != std::string::npos)
        throw EShellError(QStringLiteral("A name cannot contain \"/\": \"%1\".").arg(newText).toStdString());
    if (newName.find('\0') != std::string::npos)
        throw EShellError("A name cannot contain a NUL character.");
    const std::string oldName = ShellItem::Payload(item);
    if (newName != oldName) {
        const std::string from = LocalPath::Join(FPath, oldName), to = LocalPath::Join(FPath, newName);
        // Never replaces an item of the new name: rename() would destroy it.
        int result = ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE);
        if (result != 0 && errno == EINVAL) {
            // A file system without the no-replace flag: look first.
            struct stat info;
            if (::lstat(to.c_str(), &info) == 0)
                errno = EEXIST;
            else
                result = ::rename(from.c_str(), to.c_str());
        }
        if (result != 0) {
            const int error = errno;
            if (error == EEXIST || error == ENOTEMPTY)
                throw EShellError(QStringLiteral("Cannot rename \"%1\" to \"%2\": an item of that name already exists.")
                                      .arg(oldText, newText)
                                      .toStdString());
            throw EShellError(QStringLiteral("Cannot rename \"%1\" to \"%2\": %3.")
                                  .arg(oldText, newText, QString::fromLocal8Bit(std::strerror(error)))
                                  .toStdString());
        }
    }
    return ShellItem::MakeFile(newName, ShellItem::FileType(item));
}
