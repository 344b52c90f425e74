#include "ShellContextMenu.h"

#include "NameBytes.h"
#include "Trash.h"
#include "IdLocalPath.h"

#include <QAction>
#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

struct TCommandText {
    const char *Verb;
    const char *Text;
    const char *Help;
};

const TCommandText Commands[TItemContextMenu::cmdCount] = {
    {"open", "Open", "Opens the item with the desktop's default application."},
    {"rename", "Rename", "Renames the item."},
    {"newfolder", "New Folder", "Creates a new folder here."},
    {"delete", "Move to Trash", "Moves the item to the trash."},
    {"copylocation", "Copy Location", "Copies the item's location to the clipboard."},
    {"refresh", "Refresh", "Reads the folder anew."},
};

}  // namespace

TItemContextMenu::TItemContextMenu(std::shared_ptr<TShellFolder> folder, PCItemIDList item)
    : FFolder(std::move(folder)), FItem(CopyFirstPidl(item))
{
    FPath = FFolder->PathOf(FItem.get());
    FAttributes = FFolder->GetAttributesOf(FItem.get(), SFGAO_FOLDER | SFGAO_CANRENAME | SFGAO_CANDELETE);
}

TItemContextMenu::~TItemContextMenu() = default;

QString TItemContextMenu::GetCommandString(int command, bool help)
{
    if (command < 0 || command >= cmdCount)
        return {};
    return QString::fromLatin1(help ? Commands[command].Help : Commands[command].Verb);
}

bool TItemContextMenu::Enabled(int command) const
{
    switch (command) {
    case cmdOpen:
    case cmdCopyLocation:
        return !FPath.empty();
    case cmdRename:
        return FAttributes & SFGAO_CANRENAME;
    case cmdTrash:
        return FAttributes & SFGAO_CANDELETE;
    case cmdNewFolder: {
        const std::string where = (FAttributes & SFGAO_FOLDER) ? FPath : FFolder->Path();
        return !where.empty() && ::access(where.c_str(), W_OK) == 0;
    }
    default:
        return true;
    }
}

bool TItemContextMenu::QueryContextMenu(QMenu &menu, int firstId, int lastId)
{
    if (lastId - firstId + 1 < cmdCount)
        return false;
    for (int command = 0; command < cmdCount; ++command) {
        if (command == cmdRename || command == cmdCopyLocation || command == cmdRefresh)
            menu.addSeparator();
        QAction *action = menu.addAction(QString::fromLatin1(Commands[command].Text));
        action->setData(firstId + command);
        action->setEnabled(Enabled(command));
    }
    return true;
}

void TItemContextMenu::InvokeCommand(int command, QWidget *)
{
    const QString name = TextFromBytes(FPath);
    switch (command) {
    case cmdOpen:
        if (!QDesktopServices::openUrl(FileUrlFromBytes(FPath)))
            throw EShellError(QStringLiteral("Could not open \"%1\".").arg(name).toStdString());
        break;
    case cmdNewFolder:
        NewFolder();
        break;
    case cmdTrash:
        MoveToTrash(FPath);
        break;
    case cmdCopyLocation:
        QGuiApplication::clipboard()->setText(name);
        break;
    default:
        break;
    }
}

void TItemContextMenu::NewFolder()
{
    FCreatedInside = FAttributes & SFGAO_FOLDER;
    const std::string where = FCreatedInside ? FPath : FFolder->Path();
    for (int number = 1; number < 1000; ++number) {
        const std::string name = number == 1 ? "New Folder" : "New Folder (" + std::to_string(number) + ")";
        if (::mkdir(LocalPath::Join(where, name).c_str(), 0777) == 0) {
            FCreatedName = name;
            return;
        }
        const int error = errno;
        if (error != EEXIST)
            throw EShellError(QStringLiteral("Could not create a folder in \"%1\": %2.")
                                  .arg(TextFromBytes(where), QString::fromLocal8Bit(std::strerror(error)))
                                  .toStdString());
    }
    throw EShellError(QStringLiteral("Could not create a folder in \"%1\".").arg(TextFromBytes(where)).toStdString());
}
