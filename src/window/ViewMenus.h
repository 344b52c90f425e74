// The menus of the views, each with what its view holds, as file managers
// give them: the remote files' and the remote folders' (the same actions,
// which act on what the focus chose; right click or Shift+F10), and the
// local tree's item menu with Upload first. F2 renames in the remote views
// as it does in the local tree.
#pragma once

#include <QList>
#include <QObject>

class QAction;
class QMenu;
class QTreeWidget;
class QWidget;
class TdfsSystemTreeView;
class TFileListView;

class TViewMenus : public QObject {
public:
    struct TActions {
        QAction *Download, *DownloadAs, *Edit, *NewFolder, *Rename, *Delete, *Permissions, *CopyUrl, *Upload,
            *PassiveMode;
        QList<QAction *> ViewStyles;
    };
    struct TWidgets {
        QTreeWidget *Folders;
        TFileListView *Files;
        TdfsSystemTreeView *LocalTree;
    };
    TViewMenus(const TActions &actions, const TWidgets &widgets, QWidget *owner);

    QMenu *const Files, *const Folders;
    // The folder tree's "Open": into the chosen folder.
    QAction *const OpenFolder;
};
