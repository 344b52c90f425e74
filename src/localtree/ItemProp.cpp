#include "ItemProp.h"

#include "ShellContextMenu.h"
#include "SystemControlPack.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

TContextMenuChoice ShowItemContextMenu(const std::shared_ptr<TShellFolder> &folder, PCItemIDList relativeId,
                                       QWidget *owner, const QPoint &screenPoint, const QList<QAction *> &first)
{
    TContextMenuChoice choice;
    if (!folder || IsEmptyPidl(relativeId))
        return choice;
    const std::unique_ptr<TItemContextMenu> items = folder->GetUIObjectOf(relativeId);
    if (!items)
        return choice;
    QMenu menu(owner);
    // Screen readers call the menu by its item.
    menu.setAccessibleName(folder->GetDisplayNameOf(relativeId));
    if (!first.isEmpty()) {
        menu.addActions(first);
        menu.addSeparator();
    }
    if (!items->QueryContextMenu(menu, 1, 0x7FFF))
        return choice;
    for (QAction *action : menu.actions()) {
        if (action->isSeparator() || first.contains(action))
            continue;
        const int command = action->data().toInt() - 1;
        QObject::connect(action, &QAction::hovered, &menu, [command] {
            ShellUi::SetHint(TItemContextMenu::GetCommandString(command, false) + '|' +
                             TItemContextMenu::GetCommandString(command, true));
        });
    }
    QObject::connect(&menu, &QMenu::aboutToHide, [] { ShellUi::SetHint(QString()); });

    const QAction *chosen = menu.exec(screenPoint);
    choice.Handled = true;
    if (!chosen || first.contains(const_cast<QAction *>(chosen)))
        return choice;
    choice.Command = chosen->data().toInt() - 1;
    // Rename and Refresh are the control's to carry out.
    if (choice.Command == TItemContextMenu::cmdRename || choice.Command == TItemContextMenu::cmdRefresh)
        return choice;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    try {
        items->InvokeCommand(choice.Command, owner);
        QApplication::restoreOverrideCursor();
    } catch (const std::exception &error) {
        QApplication::restoreOverrideCursor();
        ShellUi::ShowError(owner, QString::fromUtf8(error.what()));
        choice.Handled = false;
        return choice;
    }
    choice.CreatedName = items->CreatedName();
    choice.CreatedInside = items->CreatedInside();
    return choice;
}
