// The item menu of a namespace item, shown at a point: the item's menu
// object fills a popup menu, the hovered command's verb and help text go
// to the application hint, and the chosen command is carried out. Rename,
// Refresh and New Folder's follow-up belong to the control, which learns
// of them from the choice.
#pragma once

#include "PidlHelp.h"

#include <QList>
#include <QPoint>

class QAction;

#include <memory>
#include <string>

class QWidget;
class TShellFolder;

struct TContextMenuChoice {
    bool Handled = false;
    // The command chosen (TItemContextMenu::TCommand), -1 for none.
    int Command = -1;
    // After New Folder: the new folder's name and whether it is inside the
    // item rather than beside it.
    std::string CreatedName;
    bool CreatedInside = false;
};

// Not handled when the item has no menu. A command that fails reports its
// error through ShellUi and leaves the choice not handled.
// `first`: the owner's own actions on the item (Upload), at the top; one
// of them chosen runs as an action does, and nothing else happens.
TContextMenuChoice ShowItemContextMenu(const std::shared_ptr<TShellFolder> &folder, PCItemIDList relativeId,
                                       QWidget *owner, const QPoint &screenPoint, const QList<QAction *> &first = {});
