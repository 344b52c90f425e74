// The menu of one namespace item: Open, Rename, New Folder, Move to
// Trash, Copy Location and Refresh. It fills a menu with its commands and
// carries out the ones that are its own; Rename and Refresh belong to the
// control that shows the item, which recognises them by their verbs.
#pragma once

#include "ShellNamespace.h"

class QMenu;
class QWidget;

class TItemContextMenu {
public:
    enum TCommand { cmdOpen, cmdRename, cmdNewFolder, cmdTrash, cmdCopyLocation, cmdRefresh, cmdCount };

    TItemContextMenu(std::shared_ptr<TShellFolder> folder, PCItemIDList item);
    ~TItemContextMenu();
    TItemContextMenu(const TItemContextMenu &) = delete;
    TItemContextMenu &operator=(const TItemContextMenu &) = delete;

    // Adds the commands to `menu`, their ids `firstId` + command (each an
    // action whose data is its id); false when they do not fit.
    bool QueryContextMenu(QMenu &menu, int firstId, int lastId);
    // The verb ("open", "rename", "newfolder", "delete", "copylocation",
    // "refresh") or the help text of a command.
    static QString GetCommandString(int command, bool help);
    // Carries out a command of its own; throws EShellError. Rename and
    // Refresh do nothing here.
    void InvokeCommand(int command, QWidget *owner);

    // After New Folder: the new folder's name, and whether it was made
    // inside the item (a folder) rather than beside it (a file).
    const std::string &CreatedName() const { return FCreatedName; }
    bool CreatedInside() const { return FCreatedInside; }

private:
    bool Enabled(int command) const;
    void NewFolder();

    std::shared_ptr<TShellFolder> FFolder;
    TPidl FItem;
    std::string FPath;
    uint32_t FAttributes;
    std::string FCreatedName;
    bool FCreatedInside = false;
};
