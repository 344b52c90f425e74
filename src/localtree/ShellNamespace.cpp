#include "ShellNamespace.h"

#include "ShellContextMenu.h"
#include "VirtualFolders.h"

#include <QCollator>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace ShellItem {

TPidl Make(TKind kind, const std::string &payload)
{
    const size_t count = 2 + 1 + payload.size();
    if (count > 0xFFFF)
        throw EShellError("A name is too long for the folder tree.");
    TPidl item = CreatePidl(count + 2);
    const uint16_t count16 = uint16_t(count);
    std::memcpy(item.get(), &count16, 2);
    item.get()[2] = kind;
    std::memcpy(item.get() + 3, payload.data(), payload.size());
    return item;
}

TPidl MakeFile(const std::string &name, uint8_t type)
{
    std::string payload(1, char(type));
    payload += name;
    return Make(ikFile, payload);
}

static size_t CountOf(PCItemIDList item)
{
    uint16_t count;
    std::memcpy(&count, item, 2);
    return count;
}

TKind Kind(PCItemIDList item)
{
    return CountOf(item) >= 3 ? TKind(item[2]) : TKind(0);
}

std::string Payload(PCItemIDList item)
{
    const size_t count = CountOf(item);
    const size_t skip = Kind(item) == ikFile ? 4 : 3;
    if (count < skip)
        return {};
    return std::string(reinterpret_cast<const char *>(item) + skip, count - skip);
}

uint8_t FileType(PCItemIDList item)
{
    return Kind(item) == ikFile && CountOf(item) >= 4 ? item[3] : 0;
}

bool IsFolder(PCItemIDList item)
{
    return Kind(item) != ikFile || (FileType(item) & itFolder);
}

}  // namespace ShellItem

QCollator &NaturalCollator()
{
    static QCollator collator = [] {
        QLocale locale;
        if (locale.language() == QLocale::C)
            locale = QLocale(QLocale::English);
        QCollator made(locale);
        made.setNumericMode(true);
        made.setCaseSensitivity(Qt::CaseInsensitive);
        return made;
    }();
    return collator;
}


// ---- the operations on several levels -----------------------------------------

namespace {

// The folder holding the last item of `relative`, and that item; a null
// folder when a step on the way is no folder.
struct THolder {
    std::shared_ptr<TShellFolder> Folder;
    PCItemIDList Item = nullptr;
};

}  // namespace

static THolder HolderOf(TShellFolder &start, PCItemIDList relative)
{
    std::shared_ptr<TShellFolder> folder = start.shared_from_this();
    PCItemIDList item = relative;
    for (PCItemIDList next = NextPidl(item); !IsEmptyPidl(next); item = next, next = NextPidl(next)) {
        folder = folder->BindToObject(CopyFirstPidl(item).get());
        if (!folder)
            return {};
    }
    return {folder, item};
}

std::shared_ptr<TShellFolder> TShellFolder::BindToObject(PCItemIDList relative, std::string *error)
{
    std::string why;
    std::shared_ptr<TShellFolder> folder = shared_from_this();
    for (PCItemIDList item = relative; !IsEmptyPidl(item); item = NextPidl(item)) {
        folder = folder->BindToItem(item, why);
        if (!folder) {
            if (error)
                *error = why;
            return nullptr;
        }
    }
    return folder;
}

uint32_t TShellFolder::GetAttributesOf(PCItemIDList relative, uint32_t mask)
{
    if (!relative) {
        if (mask & SFGAO_VALIDATE)
            Validate();
        return 0;
    }
    if (IsEmptyPidl(relative))
        return OwnAttributes(mask);
    if (IsEmptyPidl(NextPidl(relative)))
        return ItemAttributes(relative, mask);
    const THolder holder = HolderOf(*this, relative);
    return holder.Folder ? holder.Folder->ItemAttributes(holder.Item, mask) : 0;
}

QString TShellFolder::GetDisplayNameOf(PCItemIDList relative)
{
    if (IsEmptyPidl(relative))
        return OwnName();
    if (IsEmptyPidl(NextPidl(relative)))
        return ItemName(relative);
    const THolder holder = HolderOf(*this, relative);
    return holder.Folder ? holder.Folder->ItemName(holder.Item) : QString();
}

int TShellFolder::CompareIDs(PCItemIDList a, PCItemIDList b)
{
    if (IsEmptyPidl(a) || IsEmptyPidl(b))
        return int(!IsEmptyPidl(a)) - int(!IsEmptyPidl(b));
    const int first = CompareItems(a, b);
    if (first != 0)
        return first;
    PCItemIDList restA = NextPidl(a), restB = NextPidl(b);
    if (IsEmptyPidl(restA) || IsEmptyPidl(restB))
        return int(!IsEmptyPidl(restA)) - int(!IsEmptyPidl(restB));
    const std::shared_ptr<TShellFolder> child = BindToObject(CopyFirstPidl(a).get());
    return child ? child->CompareIDs(restA, restB) : 0;
}

TPidl TShellFolder::SetNameOf(PCItemIDList relative, const QString &newName)
{
    if (IsEmptyPidl(relative))
        throw EShellError(QStringLiteral("\"%1\" cannot be renamed.").arg(OwnName()).toStdString());
    const THolder holder = HolderOf(*this, relative);
    if (!holder.Folder)
        throw EShellError("The item to rename no longer exists.");
    TPidl renamed = holder.Folder->RenameItem(holder.Item, newName.toUtf8().toStdString());
    if (holder.Item == relative)
        return renamed;
    return ConcatPidls(CopyParentPidl(relative).get(), renamed.get());
}

std::unique_ptr<TItemContextMenu> TShellFolder::GetUIObjectOf(PCItemIDList relative)
{
    if (IsEmptyPidl(relative))
        return nullptr;
    const THolder holder = HolderOf(*this, relative);
    if (!holder.Folder)
        return nullptr;
    return std::make_unique<TItemContextMenu>(holder.Folder, holder.Item);
}

std::string TShellFolder::PathOf(PCItemIDList relative)
{
    if (IsEmptyPidl(relative))
        return Path();
    if (IsEmptyPidl(NextPidl(relative)))
        return ItemPath(relative);
    const THolder holder = HolderOf(*this, relative);
    return holder.Folder ? holder.Folder->ItemPath(holder.Item) : std::string();
}

std::vector<size_t> TShellFolder::SortOrder(const std::vector<PCItemIDList> &items)
{
    std::vector<size_t> order(items.size());
    std::iota(order.begin(), order.end(), size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return CompareItems(items[a], items[b]) < 0; });
    return order;
}

TPidl TShellFolder::RenameItem(PCItemIDList item, const std::string &)
{
    throw EShellError(QStringLiteral("\"%1\" cannot be renamed.").arg(ItemName(item)).toStdString());
}

// ---- the namespace's entry points ---------------------------------------------------

std::shared_ptr<TShellFolder> SHGetDesktopFolder()
{
    return std::make_shared<TDesktopFolder>();
}

static QString XdgTemplatesFolder()
{
    const QString home = QDir::homePath();
    QFile dirs(QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/user-dirs.dirs");
    if (dirs.open(QIODevice::ReadOnly)) {
        QTextStream in(&dirs);
        for (QString line = in.readLine(); !line.isNull(); line = in.readLine()) {
            line = line.trimmed();
            if (!line.startsWith("XDG_TEMPLATES_DIR="))
                continue;
            QString value = line.mid(18);
            if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"'))
                value = value.mid(1, value.size() - 2);
            return value.replace("$HOME", home);
        }
    }
    return home + "/Templates";
}

static QString SpecialFolderPath(int csidl)
{
    switch (csidl) {
    case CSIDL_PERSONAL:
        return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    case CSIDL_DESKTOPDIRECTORY:
        return QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
    case CSIDL_TEMPLATES:
        return XdgTemplatesFolder();
    case CSIDL_PROGRAMS:
    case CSIDL_STARTMENU:
        return QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation);
    case CSIDL_STARTUP:
        return QStandardPaths::writableLocation(QStandardPaths::ConfigLocation) + "/autostart";
    default:
        // Printers, the control panel, the recycle bin, fonts, the network
        // and the like have no folder of their own here.
        return {};
    }
}

TPidl SHGetSpecialFolderLocation(int csidl)
{
    if (csidl == CSIDL_DESKTOP)
        return CreatePidl(2);
    if (csidl == CSIDL_DRIVES)
        return ShellItem::Make(ShellItem::ikComputer, {});
    const QString path = SpecialFolderPath(csidl);
    if (path.isEmpty() || !QFileInfo(path).isDir())
        return nullptr;
    return SHGetDesktopFolder()->ParseDisplayName(QFile::encodeName(path).toStdString());
}

std::string SHGetPathFromIDList(PCItemIDList absoluteId)
{
    if (!absoluteId)
        return {};
    return SHGetDesktopFolder()->PathOf(absoluteId);
}
