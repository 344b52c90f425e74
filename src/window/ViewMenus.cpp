#include "ViewMenus.h"

#include "FileListView.h"
#include "SystemTreeView.h"

#include <QAction>
#include <QMenu>
#include <QTreeWidget>

namespace {

QMenu *NewMenu(QWidget *owner, const char *name, const QString &readAs)
{
    auto *menu = new QMenu(owner);
    menu->setObjectName(name);
    menu->setAccessibleName(readAs);
    return menu;
}

// The menu comes where the view was clicked, or at its current item for
// Shift+F10.
void PopUpOver(QAbstractItemView *view, QMenu *menu)
{
    view->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(view, &QWidget::customContextMenuRequested, menu,
                     [view, menu](const QPoint &at) { menu->popup(view->viewport()->mapToGlobal(at)); });
}

}  // namespace

TViewMenus::TViewMenus(const TActions &actions, const TWidgets &widgets, QWidget *owner)
    : QObject(owner), Files(NewMenu(owner, "puFiles", "Remote files")),
      Folders(NewMenu(owner, "puFolders", "Remote folders")), OpenFolder(new QAction("&Open", this))
{
    OpenFolder->setObjectName("actOpenFolder");
    OpenFolder->setStatusTip("Go into the chosen folder.");
    const auto common = [&actions](QMenu *menu) {
        menu->addAction(actions.Download);
        menu->addAction(actions.DownloadAs);
        menu->addSeparator();
        menu->addActions({actions.Edit, actions.NewFolder, actions.Rename, actions.Delete, actions.Permissions,
                          actions.CopyUrl});
    };
    common(Files);
    Files->addSeparator();
    Files->addMenu("View Style")->addActions(actions.ViewStyles);
    Files->addSeparator();
    Files->addAction(actions.PassiveMode);
    PopUpOver(widgets.Files, Files);

    Folders->addAction(OpenFolder);
    Folders->addSeparator();
    common(Folders);
    // A folder has nothing to view or edit.
    Folders->removeAction(actions.Edit);
    PopUpOver(widgets.Folders, Folders);

    widgets.LocalTree->ItemActions = {actions.Upload};
}
